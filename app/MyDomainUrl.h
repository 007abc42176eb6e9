// The check of an address typed for the My Domain choice: the org's own login
// address, such as https://NAME.my.salesforce.com.
#pragma once

#include <string>

extern const char kMyDomainExpected[];
extern const char kMyDomainPlainHttp[];
extern const char kMyDomainTooLong[];

// True when url (already trimmed) is an https:// address with a host name, an
// optional port and an optional path, or an http:// one of that kind whose
// host is this computer (127.0.0.1, localhost, [::1]; such addresses serve
// tests); never with blanks, a query or a fragment, nor over 259 bytes.
// Otherwise false with the message for the user in why.
bool CheckMyDomainUrl(const std::string& url, std::string& why);
