#include "SfTokenStore.h"

#include "CxDebugUtil.h"
#include "CxIniUtil.h"

#include <cctype>
#include <libsecret/secret.h>
#include <openssl/evp.h>
#include <unistd.h>

namespace {

const char kSection[] = "Tokens";

const SecretSchema* Schema() {
    static const SecretSchema schema = {"org.tessmark.RefreshToken",
                                        SECRET_SCHEMA_NONE,
                                        {{"login-url", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"consumer-key", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void LogKeyringError(const char* what, GError* error) {
    DEBUG_LOG(LOG_NORMAL, "The keyring could not %s: %s", what, error->message);
    g_error_free(error);
}

} // namespace

std::string SfTokenKey(const std::string& loginUrl, const std::string& user,
                       const std::string& consumerKey) {
    const std::string owner = loginUrl + "\n" + Lower(user) + "\n" + consumerKey;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(owner.data(), owner.size(), digest, &length, EVP_sha256(), nullptr);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

SfTokenStore::SfTokenStore(std::string dataFolder, bool useKeyring)
    : m_dataFolder(std::move(dataFolder)), m_bKeyring(useKeyring) {}

bool SfTokenStore::Load(const std::string& loginUrl, const std::string& user,
                        const std::string& consumerKey, std::string& token) {
    if (m_bKeyring) {
        GError* error = nullptr;
        gchar* secret = secret_password_lookup_sync(Schema(), nullptr, &error, "login-url",
                                                    loginUrl.c_str(), "user", Lower(user).c_str(),
                                                    "consumer-key", consumerKey.c_str(), nullptr);
        if (error) {
            LogKeyringError("be read", error);
            m_bKeyring = false;
        } else if (secret) {
            token = secret;
            secret_password_free(secret);
            return !token.empty();
        }
    }
    CxIniUtil ini(nullptr, nullptr);
    const std::string path = FilePath();
    ini.SetPath(path.c_str());
    char text[4096] = {};
    ini.GetString(kSection, SfTokenKey(loginUrl, user, consumerKey).c_str(), text, sizeof(text),
                  "");
    token = text;
    return !token.empty();
}

bool SfTokenStore::Save(const std::string& loginUrl, const std::string& user,
                        const std::string& consumerKey, const std::string& token) {
    if (m_bKeyring) {
        GError* error = nullptr;
        const std::string label = "Tessmark sign-in of " + user;
        if (secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                       token.c_str(), nullptr, &error, "login-url",
                                       loginUrl.c_str(), "user", Lower(user).c_str(),
                                       "consumer-key", consumerKey.c_str(), nullptr)) {
            m_lastPlace = "keyring";
            // An older copy in the file must not outlive the new token.
            CxIniUtil ini(nullptr, nullptr);
            const std::string path = FilePath();
            ini.SetPath(path.c_str());
            char text[8] = {};
            const std::string key = SfTokenKey(loginUrl, user, consumerKey);
            if (ini.GetString(kSection, key.c_str(), text, sizeof(text), "") > 0)
                ini.WriteString(kSection, key.c_str(), "");
            return true;
        }
        if (error)
            LogKeyringError("keep the sign-in", error);
        m_bKeyring = false;
    }
    CxIniUtil ini(nullptr, nullptr);
    const std::string path = FilePath();
    ini.SetPath(path.c_str());
    m_lastPlace = path;
    return ini.WriteString(kSection, SfTokenKey(loginUrl, user, consumerKey).c_str(),
                           token.c_str()) != 0;
}

void SfTokenStore::Forget(const std::string& loginUrl, const std::string& user,
                          const std::string& consumerKey) {
    if (m_bKeyring) {
        GError* error = nullptr;
        secret_password_clear_sync(Schema(), nullptr, &error, "login-url", loginUrl.c_str(), "user",
                                   Lower(user).c_str(), "consumer-key", consumerKey.c_str(),
                                   nullptr);
        if (error)
            LogKeyringError("forget the sign-in", error);
    }
    CxIniUtil ini(nullptr, nullptr);
    const std::string path = FilePath();
    ini.SetPath(path.c_str());
    if (access(path.c_str(), F_OK) == 0)
        ini.WriteString(kSection, SfTokenKey(loginUrl, user, consumerKey).c_str(), "");
}
