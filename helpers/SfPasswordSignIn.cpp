#include "SfPasswordSignIn.h"

#include "CxDebugUtil.h"
#include "HelperExit.h"
#include "SfHttp.h"
#include "SfSoap.h"

#include <cstring>
#include <pugixml.hpp>
#include <sstream>

namespace {

const char* LocalName(const char* name) {
    return SoapLocalName(name);
}
pugi::xml_node FindElement(pugi::xml_node node, const char* localName) {
    return SoapFindElement(node, localName);
}
std::string ElementText(pugi::xml_node node, const char* localName) {
    return SoapElementText(node, localName);
}

} // namespace

std::string SoapLoginEnvelope(const std::string& userName, const std::string& passwordAndToken) {
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node env = doc.append_child("env:Envelope");
    env.append_attribute("xmlns:env") = "http://schemas.xmlsoap.org/soap/envelope/";
    env.append_attribute("xmlns:xsd") = "http://www.w3.org/2001/XMLSchema";
    env.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
    pugi::xml_node login = env.append_child("env:Body").append_child("n1:login");
    login.append_attribute("xmlns:n1") = "urn:partner.soap.sforce.com";
    login.append_child("n1:username").text().set(userName.c_str());
    login.append_child("n1:password").text().set(passwordAndToken.c_str());
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw);
    return out.str();
}

std::string SoapLoginFaultText(const std::string& code, const std::string& faultText) {
    if (code == "INVALID_LOGIN")
        return "Salesforce refused the user name, password or security token.";
    if (code == "INVALID_OPERATION" && faultText.find("login()") != std::string::npos)
        return "This org does not allow sign-in with a password and security token (SOAP API "
               "login() is switched off). Sign in with the web browser instead: choose \"Web "
               "browser\" under \"Sign in with\" in the Connection dialog.";
    if (code == "LOGIN_MUST_USE_SECURITY_TOKEN")
        return "Salesforce asks for the security token of this user: enter it in the Security "
               "Token field (a new one can be had from the user's personal settings in "
               "salesforce).";
    if (code == "INVALID_OPERATION_WITH_EXPIRED_PASSWORD")
        return "The password of this user has expired: sign in to salesforce in the web "
               "browser, choose a new password, then try again.";
    if (code == "API_DISABLED_FOR_ORG")
        return "API access is not enabled for this org, so its records cannot be read or "
               "deleted from outside salesforce.";
    if (code == "INSUFFICIENT_ACCESS")
        return "This user may not sign in through the API (insufficient access): the user's "
               "profile needs the \"API Enabled\" permission.";
    std::string text = "Salesforce refused the sign-in";
    if (!code.empty())
        text += " (" + code + ")";
    if (!faultText.empty())
        text += ": " + faultText;
    return text + ".";
}

bool ParseSoapLoginAnswer(const std::string& body, long status, SfSession& session,
                          std::string& error) {
    pugi::xml_document doc;
    if (!doc.load_buffer(body.data(), body.size())) {
        error = "Salesforce answered the sign-in with something that is not a SOAP message "
                "(HTTP status " +
                std::to_string(status) + ").";
        return false;
    }
    if (pugi::xml_node fault = FindElement(doc, "Fault")) {
        std::string code = ElementText(fault, "exceptionCode");
        if (code.empty()) {
            code = ElementText(fault, "faultcode");
            code = LocalName(code.c_str());
        }
        error = SoapLoginFaultText(code, ElementText(fault, "faultstring"));
        return false;
    }
    pugi::xml_node result = FindElement(doc, "loginResponse");
    result = result ? FindElement(result, "result") : result;
    const std::string sessionId = result ? ElementText(result, "sessionId") : "";
    const std::string serverUrl = result ? ElementText(result, "serverUrl") : "";
    if (status != 200 || sessionId.empty() || serverUrl.empty()) {
        error = "Salesforce answered the sign-in without a session (HTTP status " +
                std::to_string(status) + ").";
        return false;
    }
    session.accessToken = sessionId;
    session.instanceUrl = UrlOrigin(serverUrl);
    session.userId = ElementText(result, "userId");
    session.userName = ElementText(result, "userName");
    return true;
}

bool SfPasswordSignIn::SignIn(SfHttp& http, SfSession& session, SfFailure& failure) {
    const std::string url = m_loginUrl + "/services/Soap/u/" + kSfApiVersion;
    SfHttpResponse response;
    std::string error;
    DEBUG_LOG(LOG_NORMAL, "Signing in to %s as %s.", m_loginUrl.c_str(), m_userName.c_str());
    if (!http.Send("POST", url, {"Content-Type: text/xml; charset=UTF-8", "SOAPAction: login"},
                   SoapLoginEnvelope(m_userName, m_password + m_token), response, error)) {
        failure.text = "Cannot reach salesforce at " + m_loginUrl + ": " + error;
        failure.exitCode = kExitServer;
        return false;
    }
    SfSession fresh;
    if (!ParseSoapLoginAnswer(response.body, response.status, fresh, error)) {
        failure.text = error;
        // A fault is a refusal; anything else is a server that answered wrongly.
        failure.exitCode =
            response.status == 500 || response.status == 200 ? kExitLogin : kExitServer;
        return false;
    }
    std::string why;
    if (fresh.instanceUrl.empty() || !IsAllowedUrl(fresh.instanceUrl, why)) {
        failure.text = "Salesforce named an unusable server address for this org. " + why;
        failure.exitCode = kExitServer;
        return false;
    }
    session = std::move(fresh);
    DEBUG_LOG(LOG_NORMAL, "Signed in; the org's server is %s.", session.instanceUrl.c_str());
    return true;
}
