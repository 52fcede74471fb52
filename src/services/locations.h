// Every fixed place the tool knows: folders, remote names, local files and
// the two marker files. Nothing here is looked up from the system, the
// environment or the registry.
//
// Several folders are written in two letter cases. Windows does not care,
// but each operation keeps the form it has always used (the target-folder
// argument of the fetch command reaches wget as written), so each constant
// below is the form of one use, not a normalised path.
#pragma once

#include <array>
#include <string>

namespace locations {

// ---- Folders -------------------------------------------------------------

// Temporary folder as written by the presence/length test of a fetched
// copy, the command lines run from it, the update marker's time read, the
// delete of a leftover update executable, and the sweep.
inline const std::wstring kTempFolderLower = L"C:\\windows\\temp\\";
// Temporary folder as written by the delete of an empty fetched copy, the
// "-P" argument of the fetch command, and every copy out of the folder.
inline const std::wstring kTempFolderTitle = L"C:\\Windows\\Temp\\";

// Web stack folder, both forms.
inline const std::wstring kXamppFolderUpper = L"C:\\xampp\\";
inline const std::wstring kXamppFolderLower = L"c:\\xampp\\";

inline const std::wstring kSystemFolder = L"c:\\windows\\system32\\";

// The web server's document root: everything in it and below it can be
// fetched over the network.
inline const std::wstring kServedFolder = L"C:\\xampp\\htdocs\\";

// Remote folder on the FTP host "ftp." + server domain.
inline const std::wstring kRemoteFolder = L"/public_html/instalador-zunaveri/";
inline const std::wstring kFtpHostPrefix = L"ftp.";

// Name of the FTP client that must lie in the tool's own folder.
inline const std::wstring kFtpClientName = L"wget.exe";

// Keyed builds: the updater's home, a folder only SYSTEM and Administrators
// can write. The updater and wget.exe live here, and so do the update's
// backups of the customer's logo and photo. "Program Files" is not
// redirected for a 32-bit program, so both builds find the same folder.
inline const std::wstring kUpdaterHome = L"C:\\Program Files\\Zunaveri\\";
inline const std::wstring kHomeUpdater = kUpdaterHome + L"instalador_zunaveri.exe";
inline const std::wstring kHomeWget = kUpdaterHome + L"wget.exe";
inline const std::wstring kHomeSavedLogo = kUpdaterHome + L"logo.png";
inline const std::wstring kHomeSavedMainPhoto = kUpdaterHome + L"foto-principal-empresa.jpg";

// Keyed builds: the updater's registration with Windows. The scheduled task
// that starts the home's updater at logon (the name the manual steps of
// earlier builds gave it, so a task made by hand is replaced), and the
// entry among the installed programs, under HKEY_LOCAL_MACHINE in the
// 64-bit view for both builds.
inline const std::wstring kUpdaterTaskName = L"ZunaveriAtualizacao";
inline const std::wstring kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZunaveriAtualizador";
inline const std::wstring kUninstallDisplayName = L"Zunaveri Digital - atualizador";

// ---- Remote file set -----------------------------------------------------

inline const std::wstring kXamppInstallerName = L"xampp-win32-7.3.2-0-VC15-installer.exe";
inline const std::wstring kPortMarkerName = L"httpd.configurado";
inline const std::wstring kFbclientName = L"fbclient.dll";
inline const std::wstring kGds32Name = L"gds32.dll";
inline const std::wstring kApplicationPackageName = L"zunaveri-digital.exe";
inline const std::wstring kUpdaterName = L"instalador_zunaveri.exe";
inline const std::wstring kWgetName = L"wget.exe";
inline const std::wstring kDatabaseStructureName = L"zunaveri.sql";
inline const std::wstring kImportScriptName = L"importar_dados.bat";
inline const std::wstring kUpdateMarkerName = L"ultima_atualizacao.txt";

inline const std::array<std::wstring, 10> kRemoteFileSet = {
    kXamppInstallerName, kPortMarkerName,    kFbclientName,           kGds32Name,         kApplicationPackageName,
    kUpdaterName,        kWgetName,          kDatabaseStructureName,  kImportScriptName,  kUpdateMarkerName,
};

// Signed releases: the manifest and its signature, fetched from the same
// remote folder as the files they list.
inline const std::wstring kReleaseManifestName = L"manifesto_zunaveri.txt";
inline const std::wstring kReleaseSignatureName = L"manifesto_zunaveri.sig";
// The second signed pair: the same list with each file's length. Keyed
// builds read only this pair; the first stays for updaters already in the
// field, whose parser refuses any line it does not know.
inline const std::wstring kSizeManifestName = L"manifesto_zunaveri_tamanhos.txt";
inline const std::wstring kSizeSignatureName = L"manifesto_zunaveri_tamanhos.sig";

// Temporary-folder names that are never fetched.
inline const std::wstring kUpdateExecutableName = L"zunaveri-digital-atualizacao.exe";
inline const std::wstring kUpdateDescriptionName = L"atualizacao_zunaveri.xml";

// The temporary copy of a remote file: the folder followed by the bare
// name, never a sub-folder. `folder` is one of the two temporary-folder
// forms above, chosen by the operation.
inline std::wstring temporary_copy(const std::wstring& folder, const std::wstring& remote_name) {
    return folder + remote_name;
}

// ---- Command lines of programs run from fixed places ----------------------

inline const std::wstring kXamppInstallerCommand =
    L"C:\\windows\\temp\\xampp-win32-7.3.2-0-VC15-installer.exe --mode unattended --launchapps 0";
inline const std::wstring kXamppStopCommand = L"C:\\xampp\\xampp_stop.exe";
inline const std::wstring kXamppStartCommand = L"C:\\xampp\\xampp_start.exe";
inline const std::wstring kApplicationPackageCommand = L"C:\\windows\\temp\\zunaveri-digital.exe";
inline const std::wstring kImportScriptCommand = L"C:\\windows\\temp\\importar_dados.bat";

// ---- Copies out of the temporary folder (source, target) -----------------

inline const std::wstring kPortMarkerSource = L"C:\\Windows\\Temp\\httpd.configurado";
inline const std::wstring kFbclientSource = L"C:\\Windows\\Temp\\fbclient.dll";
inline const std::wstring kGds32Source = L"C:\\Windows\\Temp\\gds32.dll";
inline const std::wstring kUpdaterSource = L"C:\\Windows\\Temp\\instalador_zunaveri.exe";
inline const std::wstring kWgetSource = L"C:\\Windows\\Temp\\wget.exe";

inline const std::wstring kPortMarkerTarget = L"c:\\xampp\\apache\\conf\\httpd.configurado";
inline const std::wstring kFbclientTarget = L"c:\\xampp\\apache\\bin\\fbclient.dll";
inline const std::wstring kGds32Target = L"c:\\windows\\system32\\gds32.dll";
inline const std::wstring kUpdaterTarget = L"c:\\xampp\\instalador_zunaveri.exe";
inline const std::wstring kWgetTarget = L"c:\\xampp\\wget.exe";

// ---- Fixed local files outside the temporary folder -----------------------

inline const std::wstring kPhpIni = L"C:\\xampp\\php\\php.ini";
inline const std::wstring kHttpdConf = L"c:\\xampp\\apache\\conf\\httpd.conf";
// The port marker as the web stack sequence tests it for presence.
inline const std::wstring kPortMarkerTest = L"C:\\xampp\\apache\\conf\\httpd.configurado";
inline const std::wstring kEnvFile = L"C:\\xampp\\htdocs\\.env";
inline const std::wstring kAddressFile = L"c:\\xampp\\ip_configurado";
// Signed releases: the highest release serial applied on this PC, under
// HKEY_LOCAL_MACHINE (the one place here in the registry), and the file
// earlier builds kept it in.
inline const std::wstring kAppliedSerialKey = L"SOFTWARE\\Zunaveri";
inline const std::wstring kAppliedSerialValue = L"SerieAplicada";
inline const std::wstring kAppliedSerialFile = L"c:\\xampp\\serie_zunaveri";
inline const std::wstring kInstalledUpdateMarker = L"C:\\xampp\\htdocs\\ultima_atualizacao.txt";
inline const std::wstring kLogo = L"c:\\xampp\\htdocs\\assets\\img\\brand\\logo.png";
inline const std::wstring kSavedLogo = L"c:\\xampp\\logo.png";
inline const std::wstring kMainPhoto = L"c:\\xampp\\htdocs\\assets\\img\\theme\\foto-principal-empresa.jpg";
inline const std::wstring kSavedMainPhoto = L"c:\\xampp\\foto-principal-empresa.jpg";

// ---- Temporary-folder files read or deleted by the update check ----------

inline const std::wstring kFetchedUpdateMarker = L"C:\\windows\\temp\\ultima_atualizacao.txt";
inline const std::wstring kLeftoverUpdateExecutable = L"C:\\windows\\temp\\zunaveri-digital-atualizacao.exe";

// ---- The temporary sweep, in the order of handling -------------------------

inline const std::array<std::wstring, 9> kSweepList = {
    L"C:\\windows\\temp\\zunaveri-digital.exe",    L"C:\\windows\\temp\\ultima_atualizacao.txt",
    L"C:\\windows\\temp\\atualizacao_zunaveri.xml", L"C:\\windows\\temp\\importar_dados.bat",
    L"C:\\windows\\temp\\httpd.configurado",       L"C:\\windows\\temp\\fbclient.dll",
    L"C:\\windows\\temp\\gds32.dll",               L"C:\\windows\\temp\\instalador_zunaveri.exe",
    L"C:\\windows\\temp\\zunaveri.sql",
};

}  // namespace locations
