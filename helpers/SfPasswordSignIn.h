// Sign-in with user name, password and security token: the SOAP API's login()
// call. The password travels followed directly by the token.
#pragma once

#include "SfSignIn.h"

class SfPasswordSignIn : public SfSignIn {
public:
    SfPasswordSignIn(std::string loginUrl, std::string userName, std::string password,
                     std::string token)
        : m_loginUrl(std::move(loginUrl)), m_userName(std::move(userName)),
          m_password(std::move(password)), m_token(std::move(token)) {}

    bool SignIn(SfHttp& http, SfSession& session, SfFailure& failure) override;

private:
    std::string m_loginUrl;
    std::string m_userName;
    std::string m_password;
    std::string m_token;
};

// The login() request envelope for a user and a password (token appended).
std::string SoapLoginEnvelope(const std::string& userName, const std::string& passwordAndToken);

// Reads a login() answer: true with the session filled, or false with the
// user's text for the fault (or for an answer that is not a login result).
bool ParseSoapLoginAnswer(const std::string& body, long status, SfSession& session,
                          std::string& error);

// The user's text for a login() fault code and the server's fault text.
std::string SoapLoginFaultText(const std::string& code, const std::string& faultText);
