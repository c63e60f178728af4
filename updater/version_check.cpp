#include "updater/version_check.h"

#include "updater/file_routines.h"
#include "updater/install_folder.h"
#include "updater/local_file_check.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD_PTR kInternetContext = 1;
constexpr UINT kManifestReadBufferBytes = 512;
// ReadString hands a line out in pieces of at most this size; a longer line is cut.
constexpr UINT kLineChunkBytes = 256;
constexpr size_t kKeptLineBytes = 2 * kMaxManifestLineLength;
constexpr DWORD kIsTestValue = 100;
constexpr size_t kMaxUrlLength = 254;

constexpr const char* kRegistrySection = "[REGESTRY]";
constexpr const char* kServerSection = "[SERVER]";
constexpr const char* kSetupSection = "[SETUP]";
constexpr const char* kPatchSection = "[PATCH]";
constexpr const char* kFileVersionSection = "[FILE_VERSION]";
constexpr const char* kAddInstallSection = "[AddInstall]";
constexpr const char* kFileCrcSection = "[FILE_CRC]";

}  // namespace

CXVersion::CXVersion()
    : m_session(nullptr, kInternetContext, PRE_CONFIG_INTERNET_ACCESS),
      m_reader([this](std::string& line) { return NextManifestLine(line); }) {}

CXVersion::~CXVersion() { CloseManifest(); }

const FileEntry* CXVersion::SelectedList() const {
  return (m_pSelected != nullptr && !m_pSelected->empty()) ? m_pSelected->data() : nullptr;
}

bool CXVersion::ReadKey(const std::string& section, const char* key, std::string& dest) {
  return m_reader.ReadKey(section, key, dest);
}

// One manifest line from the file; the part of a line beyond what is kept is read and dropped,
// so it never turns into a line of its own.
bool CXVersion::NextManifestLine(std::string& line) {
  line.clear();
  if (m_pFile == nullptr) return false;
  char chunk[kLineChunkBytes];
  bool any = false;
  while (m_pFile->ReadString(chunk, sizeof chunk) != nullptr) {
    any = true;
    size_t length = std::strlen(chunk);
    if (line.size() < kKeptLineBytes) line.append(chunk, std::min(length, kKeptLineBytes - line.size()));
    if (length > 0 && chunk[length - 1] == '\n') break;
  }
  return any;
}

bool CXVersion::ReadValue(const char* section, const char* key, std::string& dest) {
  return m_reader.ReadKey(section, key, dest);
}

void CXVersion::CloseManifest() {
  if (m_pFile != nullptr) {
    m_pFile->Close();
    delete m_pFile;
    m_pFile = nullptr;
  }
  m_session.Close();
}

bool CXVersion::FailureReport(HWND hOwner) {
  CloseManifest();
  m_recordKey.Close();
  // Exact on purpose, "읽을수" without its blank included: users and support know this text.
  std::string text = AnsiText("서버에서 정보를 제대로 읽을수 없습니다");
  MessageBoxA(hOwner, text.c_str(), m_reader.FailureText().c_str(), MB_OK);
  return false;
}

bool CXVersion::CheckVersion(HWND hOwner, LPCSTR lpszUrl, int bHeaderOnly) {
  m_reader.SetFailureText(std::string());
  m_sUrl = std::string(lpszUrl ? lpszUrl : "").substr(0, kMaxUrlLength);
  m_bNewer = false;

  try {
    m_pFile = m_session.OpenURL(m_sUrl.c_str(), kInternetContext, INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_RELOAD);
  } catch (CInternetException* e) {
    e->Delete();
    std::string text = AnsiText("접속이 되지 않습니다.\n 다시 시도하여 주세요.");
    // The framework's own message box: the application's name is the caption.
    MessageBoxA(hOwner, text.c_str(), RunningProgramName().c_str(), MB_OK);
    return false;
  }
  if (m_pFile == nullptr) {
    m_reader.SetFailureText(AnsiText("서버를 찾을수 없습니다"));  // "찾을수" exact on purpose
    return FailureReport(hOwner);
  }
  m_pFile->SetReadBufferSize(kManifestReadBufferBytes);

  if (!ReadRegistrySection() || !ReadServerSection() || !ReadSetupSection()) return FailureReport(hOwner);
  if (bHeaderOnly == 1) {
    CloseManifest();
    m_recordKey.Close();
    return true;
  }
  if (!ReadValue(kPatchSection, "URL_PatchFile", m_sUrlPatchFile)) return FailureReport(hOwner);
  if (!ReadFileVersionSection()) return FailureReport(hOwner);
  if (!ReadAddInstallSection()) {
    // "Warring" (not "Warning") is exact on purpose, here and below: the caption users know.
    m_reader.SetFailureText(AnsiText("재시도") + " AddInstall Read Warring");
    return FailureReport(hOwner);
  }
  if (!ReadFileCrcSection()) {
    m_reader.SetFailureText(AnsiText("재시도") + " Crc Read Warring");
    return FailureReport(hOwner);
  }

  bool outdated =
      std::any_of(m_checkList.begin(), m_checkList.end(), [](const FileEntry& e) { return e.upToDate == 0; });
  DWORD isTest = 0;
  m_recordKey.QueryDword("IsTest", isTest);
  if (isTest == kIsTestValue) {
    m_recordKey.Close();
    return true;  // a test installation is never replaced by a full setup
  }
  if (outdated) DecideFullSetup();
  CloseManifest();
  m_recordKey.Close();
  return true;
}

bool CXVersion::ReadRegistrySection() {
  return ReadValue(kRegistrySection, "RegTree_RootKey", m_sRootKey) &&
         ReadValue(kRegistrySection, "RegTree_KeyPath", m_sKeyPath) &&
         ReadValue(kRegistrySection, "RegKey_ProgDir", m_sProgDir) &&
         ReadValue(kRegistrySection, "RegKey_ProgVer", m_sProgVer) &&
         ReadValue(kRegistrySection, "RegValue_ExeName", m_sExeName);
}

bool CXVersion::ReadServerSection() {
  return ReadValue(kServerSection, "SERVER_Setup", m_sServerSetup) &&
         ReadValue(kServerSection, "SERVER_Patch", m_sServerPatch);
}

bool CXVersion::ReadSetupSection() {
  if (!ReadValue(kSetupSection, "URL_SetupFile", m_sUrlSetupFile) ||
      !ReadValue(kSetupSection, "SetupFileCrc", m_sSetupFileCrc) ||
      !ReadValue(kSetupSection, "DefaultFolder", m_sDefaultFolder) ||
      !ReadValue(kSetupSection, "AutoButton", m_sAutoButton))
    return false;

  m_recordKey.Open(m_sKeyPath, m_sRootKey != "HKCU");
  m_recordKey.QueryString(nullptr, m_sProgramFolder, kMaxProgramFolderBytes);
  DWORD version = 0;
  if (m_recordKey.QueryDword(m_sProgVer.c_str(), version)) m_nInstalledVersion = static_cast<int>(version);
  if (m_sRootKey == "NOTHING") {
    m_nInstalledVersion = 0;
    m_sProgramFolder = MakeInstallFolder(m_sDefaultFolder);
  }
  AppendBackslash(m_sProgramFolder);
  return true;
}

// Reads "FileCnt" of a list section; a count beyond the limit is not believed.
bool CXVersion::ReadListCount(const char* section, int& count) {
  std::string value;
  if (!ReadValue(section, "FileCnt", value)) return false;
  count = DecimalValue(value);
  return count <= kMaxManifestListEntries;
}

bool CXVersion::ReadFileVersionSection() {
  std::string verMin, verMax, fileCnt;
  if (!ReadValue(kFileVersionSection, "VerMin", verMin) || !ReadValue(kFileVersionSection, "VerMax", verMax) ||
      !ReadValue(kFileVersionSection, "FileCnt", fileCnt))
    return false;
  m_nVerMin = DecimalValue(verMin);
  m_nVerMax = DecimalValue(verMax);
  int count = DecimalValue(fileCnt);
  if (m_nVerMin < 0) return true;  // the entries are skipped by the next section's read
  if (count > kMaxManifestListEntries) return false;

  for (int i = 0; i < count; ++i) {
    std::string line;
    if (!ReadValue(kFileVersionSection, kEntryLineKey, line)) return false;
    m_versionList.push_back(ParseFileEntry(line).value_or(FileEntry{}));
  }
  for (FileEntry& entry : m_versionList) {
    if (m_nInstalledVersion < FileEntryVersion(entry.name)) {
      entry.upToDate = 0;
      m_bNewer = true;
    } else {
      entry.upToDate = 1;
    }
  }
  if (m_bNewer) {
    m_pSelected = &m_versionList;
    m_nSelected = static_cast<int>(m_versionList.size());
  }
  return true;
}

bool CXVersion::ReadAddInstallSection() {
  int count = 0;
  if (!ReadListCount(kAddInstallSection, count)) return false;
  for (int i = 0; i < count; ++i) {
    std::string line;
    if (!ReadValue(kAddInstallSection, kEntryLineKey, line)) return false;
    m_installList.push_back(ParseInstallEntry(line).value_or(InstallEntry{}));
  }
  return true;
}

bool CXVersion::ReadFileCrcSection() {
  int count = 0;
  if (!ReadListCount(kFileCrcSection, count)) return false;
  LocalFileCheck localFiles(RunningProgramFolder());
  for (int i = 0; i < count; ++i) {
    std::string line;
    if (!ReadValue(kFileCrcSection, kEntryLineKey, line)) return false;
    std::optional<FileEntry> entry = ParseFileEntry(line);
    if (!entry) return false;
    if (!m_bNewer) localFiles.Check(*entry);
    m_checkList.push_back(*entry);
  }
  if (!m_bNewer) {
    m_pSelected = &m_checkList;
    m_nSelected = static_cast<int>(m_checkList.size());
  }
  return true;
}

void CXVersion::DecideFullSetup() {
  if (m_sRootKey == "NOTHING") return;
  // The folder already ends in its separator here, so a record without one still counts.
  bool recordHolds = !m_sProgramFolder.empty() && m_recordKey.IsOpen() && m_nInstalledVersion > 0 &&
                     (m_nVerMin < 0 || m_nVerMin <= m_nInstalledVersion);
  if (recordHolds) return;

  m_sProgramFolder = MakeInstallFolder(m_sDefaultFolder);
  m_checkList.clear();
  FileEntry setup = ParseFileEntry(m_sSetupFileCrc).value_or(FileEntry{});
  setup.upToDate = 0;
  m_checkList.push_back(setup);
  m_pSelected = &m_checkList;
  m_nSelected = 1;
  CloseManifest();
}
