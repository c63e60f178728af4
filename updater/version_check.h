// The update check: reads the version manifest and compares it with the installed program's
// registry record and the files beside the running program.
#pragma once

#include "updater/manifest_entries.h"
#include "updater/manifest_reader.h"
#include "updater/registry_key.h"

#include <windows.h>
#include <afxinet.h>

#include <string>
#include <vector>

// A list section may not announce more entries than this.
constexpr int kMaxManifestListEntries = 10000;
// The recorded program folder holds at most this many bytes.
constexpr DWORD kMaxProgramFolderBytes = 259;

class CXVersion {
 public:
  CXVersion();
  ~CXVersion();
  CXVersion(const CXVersion&) = delete;
  CXVersion& operator=(const CXVersion&) = delete;

  // True when the manifest was read to its end; the selected list is then set. With
  // bHeaderOnly 1 the check ends successfully after the "[SETUP]" section. Failures show
  // their message box, owned by hOwner, and give false.
  bool CheckVersion(HWND hOwner, LPCSTR lpszUrl, int bHeaderOnly);

  // The result: an entry with upToDate 0 needs an update. No entries counts as current.
  const FileEntry* SelectedList() const;
  int SelectedCount() const { return m_nSelected; }

  bool ReadKey(const std::string& section, const char* key, std::string& dest);

  const std::string& FailureText() const { return m_reader.FailureText(); }
  const std::string& ProgramFolder() const { return m_sProgramFolder; }
  int InstalledVersion() const { return m_nInstalledVersion; }
  int VerMin() const { return m_nVerMin; }
  int VerMax() const { return m_nVerMax; }
  bool HasNewerVersion() const { return m_bNewer; }
  const std::vector<FileEntry>& VersionList() const { return m_versionList; }
  const std::vector<InstallEntry>& InstallList() const { return m_installList; }
  const std::vector<FileEntry>& CheckList() const { return m_checkList; }

 private:
  bool NextManifestLine(std::string& line);
  bool ReadValue(const char* section, const char* key, std::string& dest);
  bool ReadRegistrySection();
  bool ReadServerSection();
  bool ReadSetupSection();
  bool ReadFileVersionSection();
  bool ReadAddInstallSection();
  bool ReadFileCrcSection();
  bool ReadListCount(const char* section, int& count);
  void DecideFullSetup();
  void CloseManifest();
  bool FailureReport(HWND hOwner);

  CInternetSession m_session;
  CStdioFile* m_pFile = nullptr;
  ManifestReader m_reader;
  RegistryKey m_recordKey;
  std::string m_sUrl;

  std::string m_sRootKey, m_sKeyPath, m_sProgDir, m_sProgVer, m_sExeName;
  std::string m_sServerSetup, m_sServerPatch;
  std::string m_sUrlSetupFile, m_sSetupFileCrc, m_sDefaultFolder, m_sAutoButton;
  std::string m_sUrlPatchFile;

  std::string m_sProgramFolder;
  int m_nInstalledVersion = 0;
  int m_nVerMin = 0;
  int m_nVerMax = 0;
  bool m_bNewer = false;
  std::vector<FileEntry> m_versionList;
  std::vector<InstallEntry> m_installList;
  std::vector<FileEntry> m_checkList;
  const std::vector<FileEntry>* m_pSelected = nullptr;
  int m_nSelected = 0;
};
