// Upper and lower case of UTF-8 texts for the letters of the Latin-1 and
// Latin Extended-A blocks as well as ASCII (enough for the sample data's
// names: "Müller" -> "MÜLLER", "Łukasz" -> "łukasz"); other characters stay.
#pragma once

#include <string>

std::string ToUpperText(const std::string& text);
std::string ToLowerText(const std::string& text);
