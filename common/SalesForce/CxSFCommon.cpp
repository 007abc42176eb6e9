#include "CxSFCommon.h"

#include "CxText.h"
#include "WinUtil.h"

#include <unistd.h>

namespace {

// A null or empty text empties the member; any other is cut to 255 characters.
void SetMember(char (&member)[256], const char* text) {
    CopyText(member, (text && *text) ? text : "");
}

} // namespace

CxSFBaseUtil::CxSFBaseUtil()
    : m_bChanged(true), m_bHasError(false), m_szUserName{}, m_szPassword{}, m_szToken{},
      m_szDataFolder{}, m_szDataFileName{}, m_szParamFileName{}, m_szErrorFileName{},
      m_szStatusFileName{}, m_szLastError{}, m_szLogLocation{}, m_szReserved{}, m_nLogLevel(3),
      m_bDebugEnabled(false), m_nRequest(0) {
    CopyText(m_szLogLocation, "appdebug.log");
    // The data folder starts as the program's own folder.
    if (!GetModuleFolder(nullptr, m_szDataFolder, sizeof(m_szDataFolder)))
        m_szDataFolder[0] = '\0';
}

CxSFBaseUtil::~CxSFBaseUtil() {
    CxSFBaseUtil::Clear();
}

bool CxSFBaseUtil::Load() {
    return true;
}

bool CxSFBaseUtil::Clear() {
    // The helper leaves its progress and error files behind; a new run starts without them.
    if (m_szStatusFileName[0])
        unlink(DataPath(m_szStatusFileName).c_str());
    if (m_szErrorFileName[0])
        unlink(DataPath(m_szErrorFileName).c_str());
    return true;
}

bool CxSFBaseUtil::Submit() {
    return false;
}

void CxSFBaseUtil::SetUserName(const char* text) {
    SetMember(m_szUserName, text);
}
void CxSFBaseUtil::SetPassword(const char* text) {
    SetMember(m_szPassword, text);
}
void CxSFBaseUtil::SetToken(const char* text) {
    SetMember(m_szToken, text);
}
void CxSFBaseUtil::SetDataFolder(const char* text) {
    SetMember(m_szDataFolder, text);
}
void CxSFBaseUtil::SetLogLocation(const char* text) {
    SetMember(m_szLogLocation, text);
}
void CxSFBaseUtil::SetDataFileName(const char* text) {
    SetMember(m_szDataFileName, text);
}
void CxSFBaseUtil::SetParamFileName(const char* text) {
    SetMember(m_szParamFileName, text);
}
void CxSFBaseUtil::SetErrorFileName(const char* text) {
    SetMember(m_szErrorFileName, text);
}
void CxSFBaseUtil::SetStatusFileName(const char* text) {
    SetMember(m_szStatusFileName, text);
}

std::string CxSFBaseUtil::DataPath(const char* fileName) const {
    std::string path = m_szDataFolder;
    const char* name = fileName ? fileName : "";
    const bool folderEnds = !path.empty() && path.back() == '/';
    if (folderEnds) {
        while (*name == '/')
            ++name;
    } else if (!path.empty() && *name != '/') {
        path += '/';
    }
    path += name;
    return path;
}

const char* CxSFBaseUtil::DataFileNameOr(const char* fileName) const {
    return (fileName && *fileName) ? fileName : m_szDataFileName;
}
