#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TSettingsStore;

// The configuration the rest of the program reads at run time. One field per stored key,
// named after the key; the sections "Company", "Supplier", "Export" and "Colors" are
// sub-records. Texts are code page 1250. A colour is 0x00BBGGRR for an RGB colour or
// 0xFF0000nn for system colour nn, held (and stored) as a signed 32-bit number.
//
// The member initialisers are the values before the first load: they matter only where a
// load keeps a previous value ("MaxAmount", the window bounds when no placement is applied).
// Every other default is given by LoadSettings (see AppSettingsIO.cpp and TSettingsEnvironment).

using TColor = std::int32_t;

constexpr TColor SystemColor(int number) { return static_cast<TColor>(0xFF000000u | static_cast<unsigned>(number)); }

// Number of column contents (IDs 0 to 41), each with its "Find" mark.
constexpr int kContentCount = 42;
// Number of special row colour rules ("SpColorKeywords0" to "SpColorKeywords10").
constexpr int kSpecialColorCount = 11;

struct TCompanySettings {
  std::string Name1, Name2, Address, City, PSC, DIC, ICO, RespPerson, Phone, Fax, Mobile, ContactEmail;
  std::string EMail;    // key "e-mail": the sender address
  std::string Currency; // price list's currency code, up to 3 characters
  double ExRate = 0;    // 0 when not set or not a number
};

struct TSupplierSettings {
  std::string Name, Address, ICO, DIC, RespPerson, Phone, Fax;
  std::string EMail; // key "E-Mail": the recipient of e-mailed orders
};

struct TExportSettings {
  bool ExportColumnsInView = true, ExportOrderData = true, ExportCompanyData = true;
  int TXT_Delimiter = 44, XLS_Delimiter = 9;
  std::string TXT_DecimalSeparator, XLS_DecimalSeparator;
  std::string General_Created, General_Changed, General_DeliveryDate, General_LatestDeliveryDate, General_Sent;
  std::string Company_Name, Company_Name2, Company_Address, Company_City, Company_PostalCode, Company_DIC, Company_ICO,
      Company_RespPerson, Company_Phone, Company_Fax, Company_Mobile, Company_email, Company_Contactemail;
};

struct TColorSettings {
  TColor ActiveRow = SystemColor(0x18), InactiveRow = SystemColor(0x0F);
  TColor EditColumn = 0x00CCFFFF, SortColumn = 0x00E0E0E0, GroupsTree = 0x00F8F8F8;
  // Keywords are upper-cased when read.
  std::array<std::string, kSpecialColorCount> SpColorKeywords;
  std::array<TColor, kSpecialColorCount> SpColor{};
};

// The designed bounds of the windows and panels: the values a window has before any stored
// placement is applied. The GUI may replace them with its real designed sizes before the
// first load.
struct TDesignedLayout {
  int WindowLeft = 0, WindowTop = 0, WindowWidth = 1024, WindowHeight = 768;
  int GroupsTreeWidth = 200;    // "Width" of "Groups"
  int LeftPanelWidth = 200;     // "Splitter_Right"
  int PreviewPanelHeight = 150; // "Splitter_Left"
  int LargeImgTop = 0, LargeImgWidth = 400, LargeImgHeight = 400;
};

struct TAppSettings {
  TAppSettings() = default;
  explicit TAppSettings(const TDesignedLayout& designed);

  // "Files" (paths as stored, code page 1250; after the folder rule of the load). A file name
  // without a folder part ("TAV.BIN") lies in the program's folder: resolve it with
  // InProgramFolder before use.
  std::string Orders, Pictures, WebPictures, TAVBin, PriceList, Groups, LOGfile;

  // "Groups"
  bool ReadGroups = true, GroupsVisible = true;
  int Width = 200;

  TColorSettings Colors;
  TCompanySettings Company;
  TSupplierSettings Supplier;
  TExportSettings Export;

  // "Others"
  bool CopyIni = false;
  bool NoStock = false, NoPackages = false; // the effective modes: stored value or switch
  int EnableWholePackage = 1;               // 0 in the no-packages mode
  bool NCEnabled = false, ICOenabled = true, LOGEnabled = true, ImgDownload = true;
  std::string Prefix, Format, Suffix, Extension, DBCExtension;
  double MaxAmount = 100; // at least 100; a stored text that is not a number keeps this
  int RememberPosition = 2;
  int WindowState = 0; // written on save from the main window; never read
  int Window_Left = 0, Window_Top = 0, Window_Width = 1024, Window_Heigh = 768;
  int Splitter_Right = 200, Splitter_Left = 150;
  bool SmallImg = false, LargeImg = false;
  int LargeImgLeft = 624, LargeImgTop = 0, LargeImgWidth = 400, LargeImgHeight = 400;
  bool ImgAlphaBlend = true;
  int ImgAlphaBlendValue = 192;
  int MaxThreadPictureLimit = 5, DaysOldPictures = 9999;
  std::string PrefixTmpPictures;
  int MailSendFormat = 0;
  std::string SMTPServer;
  bool SMTPNeedLogin = false;
  std::string SMTPUser;
  std::string SMTPPassword; // plain; stored scrambled
  bool MailNotification = false;
  std::string TAVPriceList, TAVAlias, TAVInstName, TAVInstAlias, InstObjVersion;
  int RegisterOBX = 0;
  bool RegisterDBC = false;
  int MaxPriceListAge = 10, PriceListActualH = 240;
  bool CheckOldPriceList = false, PriceEnabled = false, OrderEncrypt = false, AutoCheckAppUpdate = true;
  std::string ApplicationTitle;
  bool AutoSaveSettings = true;
  int MinDeliveryDays = 0, MaxDeliveryDays = 90;
  std::string EnabledDaysOfWeek;
  int ID2 = 0;
  std::string LastImportDate, LastImportFileName;
  bool FindInGroup = false, AutoSearchSettings = true;
  int SearchMode = 0, SearchTimer = 500;

  // "Find": the Searched marks of the column contents.
  std::array<bool, kContentCount> Find{};
  // "InfoHTML"
  int InfoHTMLCount = 0;
  // "InfoText1", "InfoText2": the value parts of the sections' lines, in order.
  std::vector<std::string> InfoText1, InfoText2;

  // Run-time fields.
  bool FirstRun = false;                                // the load performed the first-run import
  bool NoPackagesSwitch = false, NoStockSwitch = false; // command-line switches
  bool PriceListVerified = false;                       // the installed price list was verified
  bool ForeignCurrency = false;                         // amounts are shown divided by ExRate
  // What the main window applies after a load with placement: the stored bounds
  // (RememberPosition 1) or the whole screen (RememberPosition 2).
  bool ApplyWindowBounds = false, FillScreen = false;

  // "Created", "CreatedTime" of "Others": texts of the installed price list. Set only
  // through the setters, which keep the sdbm hashes in step.
  const std::string& Created() const { return FCreated; }
  const std::string& CreatedTime() const { return FCreatedTime; }
  void SetCreated(std::string text);
  void SetCreatedTime(std::string text);
  std::uint32_t CreatedHash() const { return FCreatedHash; }
  std::uint32_t CreatedTimeHash() const { return FCreatedTimeHash; }

private:
  std::string FCreated, FCreatedTime;
  std::uint32_t FCreatedHash = 0, FCreatedTimeHash = 0;
};

// The sdbm hash of a text (its code page 1250 bytes): h = b + (h << 6) + (h << 16) - h.
std::uint32_t SdbmHash(const std::string& text);

// True when Company.Currency is set and Company.ExRate is neither 0 nor 1 (within
// NearlyEqual).
bool IsForeignCurrency(const TCompanySettings& company);

// The outside world the load depends on. Folder names are code page 1250 text, as stored
// paths are; FromSystem fills them from this machine.
struct TSettingsEnvironment {
  std::string ProgramName;        // the program file's name without extension, e.g. "objednavky"
  std::string ProgramFolder;      // folder of the running program
  std::string AppDataFolder;      // the user's application-data folder ($XDG_DATA_HOME)
  std::string DocumentsFolder;    // the user's documents folder (XDG documents folder)
  std::string SystemConfigFolder; // where a bare ini name is looked for (first $XDG_CONFIG_DIRS entry)
  std::string MailClientFolder;   // the desktop mail client's profiles (~/.thunderbird); empty: none
  int ScreenBitsPerPixel = 32;    // bits per pixel × planes; 16 or fewer selects other colours
  TDesignedLayout Designed;

  // The data folder D: the program's folder inside the application-data folder.
  std::string DataFolder() const;
  // The documents folder M: the program's folder inside the documents folder.
  std::string OrdersFolder() const;

  // This machine: /proc/self/exe, $XDG_DATA_HOME (default ~/.local/share), the documents
  // folder of $XDG_CONFIG_HOME/user-dirs.dirs (default ~/Documents), the first absolute
  // entry of $XDG_CONFIG_DIRS (default /etc/xdg) and ~/.thunderbird. Never throws.
  static TSettingsEnvironment FromSystem(const std::string& programName);
};

// The seam to the grid's column model, which keeps its layouts in the sections
// "PriceListColumns" and "OrderColumns" and knows the built-in "Find" marks. The defaults do
// nothing (no layouts, no built-in marks), so the settings work before the column model
// exists.
class IColumnLayoutStore {
public:
  virtual ~IColumnLayoutStore() = default;
  virtual void LoadColumnLayouts(const TSettingsStore& /*store*/) {}
  virtual void SaveColumnLayouts(TSettingsStore& /*store*/) const {}
  // The built-in Searched mark of a column content (0 to kContentCount - 1).
  virtual bool BuiltInSearched(int /*contentId*/) const { return false; }
};

struct TLoadSettingsOptions {
  bool ApplyWindowPlacement = true; // read the main window's bounds as RememberPosition says
  bool LoadLayouts = true;          // call LoadColumnLayouts
  bool NoPackagesSwitch = false;    // the command-line switches of this run
  bool NoStockSwitch = false;
  IColumnLayoutStore* Layouts = nullptr; // not owned; nullptr: no column model yet
};

// Reads every key into settings, in the documented order. When "CopyIni" of "Others" is not
// set, first imports the first-run ini file, sets "CopyIni" and saves the store (a failed
// save is ignored, so the import is tried again at the next start); FirstRun tells whether
// that happened. Missing or bad values take their defaults; folders that cannot be made fall
// back as FolderRule says. Never throws for stored data.
void LoadSettings(TAppSettings& settings, TSettingsStore& store, const TSettingsEnvironment& env,
                  const TLoadSettingsOptions& options);

// Writes every saved key (read-only keys are neither written nor deleted), then the column
// layouts, and saves the store. Returns false, with the Czech reason in *problem when given,
// when the store could not be written; the file on disk then stays as it was.
bool SaveSettings(const TAppSettings& settings, TSettingsStore& store, const IColumnLayoutStore* layouts = nullptr,
                  std::string* problem = nullptr);

// The value of a "Files" key, by default D joined with defaultFileName (D is made, one level,
// when missing; when that fails the application-data folder takes its place). A name without
// a folder part lies in the program's folder.
std::string FilePathSetting(const TSettingsStore& store, const std::string& key, const std::string& defaultFileName,
                            const TSettingsEnvironment& env);

// A stored file name without a folder part lies in the program's folder; any other stays.
std::string InProgramFolder(const std::string& fileName, const TSettingsEnvironment& env);

// The folder rule of the "Files" keys. path is a folder (isFolder) or a file name; its folder
// must exist or be made, one level only; an empty folder or a root ("/", "C:", "C:\") is taken
// as it is. When the folder cannot be made, a folder becomes fallbackFolder and a file keeps
// its name inside fallbackFolder. Names are code page 1250 with "\" or "/".
std::string ApplyFolderRule(const std::string& path, bool isFolder, const std::string& fallbackFolder);

// Makes one level of a folder (code page 1250 name). True when it exists as a folder
// afterwards; false for an empty name or a name with a drive letter, which no folder of this
// machine has.
bool MakeFolderLevel(const std::string& folder);

// The stored form of the SMTP password: r and then (r + byte with its halves swapped) mod 256
// for every byte, each as three decimal digits; r is random in 1 to 254 (0 drawn becomes 17).
// Empty for an empty password.
std::string ScramblePassword(const std::string& password);
// The same with a given r (0 to 255), for known results.
std::string ScramblePasswordWith(const std::string& password, int r);
// The reverse. A text whose length is not a positive multiple of 3 gives an empty password;
// a group that is not a number counts as 0.
std::string UnscramblePassword(const std::string& text);

// The defaults the desktop mail client gives: its default account's SMTP server and sender
// address (the reply-to address, else the e-mail address). Both empty when nothing can be
// read.
struct TMailClientDefaults {
  std::string SMTPServer;
  std::string EMail;
};
// Reads Thunderbird's configuration below profilesFolder (profiles.ini and the default
// profile's prefs.js). Tolerates missing, malformed and oversized files; never throws.
TMailClientDefaults ReadMailClientDefaults(const std::string& profilesFolder);
// The same for the text of a profile's prefs.js (UTF-8).
TMailClientDefaults MailClientDefaultsFromPrefs(const std::string& prefsText);

// The first-run ini file: "<program>.ini" in the program's folder, else in the system
// configuration folder. Empty when neither exists. Native file name.
std::string FirstRunIniFile(const TSettingsEnvironment& env);
// Copies every key of every section of the ini file (code page 1250, "[section]" and
// "key=value" lines) as text into the store; the first of duplicate keys wins. A missing or
// unreadable file copies nothing. Returns the number of values copied.
int ImportIniFile(const std::string& nativeFileName, TSettingsStore& store);
// The same for the file's bytes.
int ImportIniText(std::string bytes, TSettingsStore& store);
