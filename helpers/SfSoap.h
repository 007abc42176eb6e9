// Messages of the CRM's SOAP API (partner namespace) besides login(): reading a
// fault, and the undelete() call's request and answer.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

// The part of an element name after its namespace prefix.
const char* SoapLocalName(const char* name);
// The first element below node (at any depth) with that local name.
pugi::xml_node SoapFindElement(pugi::xml_node node, const char* localName);
// The text of that element, or empty.
std::string SoapElementText(pugi::xml_node node, const char* localName);

// The fault of a SOAP answer: true with its code (exceptionCode, else the
// faultcode without prefix) and its faultstring; false when the body is no
// SOAP fault.
bool SoapFault(const std::string& body, std::string& code, std::string& text);

// The undelete() request for ids, with sessionId in its SessionHeader.
std::string SoapUndeleteEnvelope(const std::string& sessionId, const std::vector<std::string>& ids);

// One UndeleteResult: success, or the first error's status code and message.
struct SoapUndeleteResult {
    bool success = false;
    std::string statusCode;
    std::string message;
};

// Reads an undelete() answer: its results in order; false when the body is not
// an undeleteResponse.
bool ParseSoapUndeleteAnswer(const std::string& body, std::vector<SoapUndeleteResult>& results);
