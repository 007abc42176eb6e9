#include "SfSoap.h"

#include <cstring>
#include <sstream>

const char* SoapLocalName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

pugi::xml_node SoapFindElement(pugi::xml_node node, const char* localName) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        if (std::strcmp(SoapLocalName(child.name()), localName) == 0)
            return child;
        if (pugi::xml_node found = SoapFindElement(child, localName))
            return found;
    }
    return pugi::xml_node();
}

std::string SoapElementText(pugi::xml_node node, const char* localName) {
    pugi::xml_node found = SoapFindElement(node, localName);
    return found ? found.text().get() : "";
}

bool SoapFault(const std::string& body, std::string& code, std::string& text) {
    pugi::xml_document doc;
    if (!doc.load_buffer(body.data(), body.size()))
        return false;
    pugi::xml_node fault = SoapFindElement(doc, "Fault");
    if (!fault)
        return false;
    code = SoapElementText(fault, "exceptionCode");
    if (code.empty())
        code = SoapLocalName(SoapElementText(fault, "faultcode").c_str());
    text = SoapElementText(fault, "faultstring");
    return true;
}

std::string SoapUndeleteEnvelope(const std::string& sessionId,
                                 const std::vector<std::string>& ids) {
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node env = doc.append_child("env:Envelope");
    env.append_attribute("xmlns:env") = "http://schemas.xmlsoap.org/soap/envelope/";
    env.append_attribute("xmlns:urn") = "urn:partner.soap.sforce.com";
    env.append_child("env:Header")
        .append_child("urn:SessionHeader")
        .append_child("urn:sessionId")
        .text()
        .set(sessionId.c_str());
    pugi::xml_node call = env.append_child("env:Body").append_child("urn:undelete");
    for (const std::string& id : ids)
        call.append_child("urn:ids").text().set(id.c_str());
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw);
    return out.str();
}

bool ParseSoapUndeleteAnswer(const std::string& body, std::vector<SoapUndeleteResult>& results) {
    results.clear();
    pugi::xml_document doc;
    if (!doc.load_buffer(body.data(), body.size()))
        return false;
    pugi::xml_node answer = SoapFindElement(doc, "undeleteResponse");
    if (!answer)
        return false;
    for (pugi::xml_node child : answer.children()) {
        if (child.type() != pugi::node_element ||
            std::strcmp(SoapLocalName(child.name()), "result") != 0)
            continue;
        SoapUndeleteResult r;
        for (pugi::xml_node part : child.children()) {
            if (part.type() != pugi::node_element)
                continue;
            const char* name = SoapLocalName(part.name());
            if (std::strcmp(name, "success") == 0)
                r.success = std::strcmp(part.text().get(), "true") == 0;
            else if (std::strcmp(name, "errors") == 0 && r.statusCode.empty()) {
                r.statusCode = SoapElementText(part, "statusCode");
                r.message = SoapElementText(part, "message");
            }
        }
        results.push_back(std::move(r));
    }
    return true;
}
