// Where a browser sign-in's refresh token is kept between runs: the desktop's
// Secret Service keyring when one answers, otherwise a file of mode 0600 in the
// data folder ("SFTokens.ini"). A token belongs to one login address, user
// name and consumer key; it is never written anywhere else.
#pragma once

#include <string>

constexpr char kSfTokenFileName[] = "SFTokens.ini";

class SfTokenStore {
public:
    // useKeyring false keeps to the file (no desktop session, or tests).
    SfTokenStore(std::string dataFolder, bool useKeyring);

    // The stored refresh token for the owner, or false.
    bool Load(const std::string& loginUrl, const std::string& user, const std::string& consumerKey,
              std::string& token);
    // Replaces the stored token; false when neither place took it.
    bool Save(const std::string& loginUrl, const std::string& user, const std::string& consumerKey,
              const std::string& token);
    void Forget(const std::string& loginUrl, const std::string& user,
                const std::string& consumerKey);

    // Where the last Save put the token: "keyring" or the file's path.
    const std::string& LastPlace() const { return m_lastPlace; }

private:
    std::string FilePath() const { return m_dataFolder + kSfTokenFileName; }

    std::string m_dataFolder;
    bool m_bKeyring;
    std::string m_lastPlace;
};

// The file store's key for an owner: the hex SHA-256 of its three parts.
std::string SfTokenKey(const std::string& loginUrl, const std::string& user,
                       const std::string& consumerKey);
