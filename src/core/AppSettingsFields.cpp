#include "core/AppSettingsFields.h"

#include <charconv>
#include <cmath>

#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"

namespace {

using K = TFieldKind;
using R = TFieldRule;

constexpr bool kSaved = true;
constexpr bool kReadOnly = false;

// A field reached through path (TAppSettings& -> T&).
template <class T, class Path>
TSettingsField Field(std::string name, std::string section, std::string key, K kind, bool saved, R rule, Path path) {
  TSettingsField f;
  f.Name = std::move(name);
  f.Section = std::move(section);
  f.Key = std::move(key);
  f.Kind = kind;
  f.Saved = saved;
  f.Rule = rule;
  f.Get = [path](const TAppSettings& s) { return TFieldValue(static_cast<T>(path(const_cast<TAppSettings&>(s)))); };
  f.Set = [path](TAppSettings& s, const TFieldValue& v) { path(s) = std::get<T>(v); };
  return f;
}

class TFieldList {
public:
  std::vector<TSettingsField> Fields;

  // A top-level field: listed under its key name.
  template <class T>
  void Add(const char* section, const char* key, K kind, bool saved, T TAppSettings::*member, R rule = R::Plain) {
    Fields.push_back(
        Field<T>(key, section, key, kind, saved, rule, [member](TAppSettings& s) -> T& { return s.*member; }));
  }
  // A field of a sub-record: listed as "Sub.Field".
  template <class Sub, class T>
  void AddSub(const char* section, const char* key, const char* field, K kind, bool saved, Sub TAppSettings::*sub,
              T Sub::*member, R rule = R::Plain) {
    Fields.push_back(Field<T>(std::string(section) + "." + field, section, key, kind, saved, rule,
                              [sub, member](TAppSettings& s) -> T& { return (s.*sub).*member; }));
  }
  void Bool(const char* section, const char* key, bool saved, bool TAppSettings::*m, R rule = R::Plain) {
    Add(section, key, K::Bool, saved, m, rule);
  }
  void Int(const char* section, const char* key, bool saved, int TAppSettings::*m, R rule = R::Plain) {
    Add(section, key, K::Integer, saved, m, rule);
  }
  void Text(const char* section, const char* key, bool saved, std::string TAppSettings::*m, R rule = R::Plain) {
    Add(section, key, K::Text, saved, m, rule);
  }
  void RunTime(const char* name, bool TAppSettings::*m) { Add("", name, K::Bool, false, m, R::RunTime); }
};

std::vector<TSettingsField> BuildFields() {
  TFieldList l;
  const char* files = "Files";
  const char* others = "Others";
  const char* colors = "Colors";
  const char* company = "Company";
  const char* supplier = "Supplier";
  const char* exportSection = "Export";
  using S = TAppSettings;

  // The command-line switches come first: the modes are read from them.
  l.RunTime("NoPackagesSwitch", &S::NoPackagesSwitch);
  l.RunTime("NoStockSwitch", &S::NoStockSwitch);
  l.Bool(others, "CopyIni", kReadOnly, &S::CopyIni);
  l.Bool(others, "NoStock", kReadOnly, &S::NoStock, R::Mode);
  l.Bool(others, "NoPackages", kReadOnly, &S::NoPackages, R::Mode);
  l.Int(others, "EnableWholePackage", kReadOnly, &S::EnableWholePackage, R::WholePackage);
  l.Bool(others, "NCEnabled", kReadOnly, &S::NCEnabled);
  l.Bool(others, "ICOenabled", kReadOnly, &S::ICOenabled);

  // "Pictures" before "PriceList": the picture folder falls back on a first start where the
  // data folder does not exist yet.
  l.Text(files, "Orders", kSaved, &S::Orders, R::FolderKey);
  l.Text(files, "Pictures", kSaved, &S::Pictures, R::FolderKey);
  l.Text(files, "WebPictures", kReadOnly, &S::WebPictures);
  l.Text(files, "TAVBin", kReadOnly, &S::TAVBin, R::FileKey);
  l.Text(files, "PriceList", kSaved, &S::PriceList, R::FileKey);
  l.Text(files, "Groups", kSaved, &S::Groups, R::FileKey);
  l.Text(files, "LOGfile", kSaved, &S::LOGfile, R::FileKey);

  l.Bool("Groups", "ReadGroups", kSaved, &S::ReadGroups);
  l.Bool("Groups", "GroupsVisible", kSaved, &S::GroupsVisible);
  l.Int("Groups", "Width", kSaved, &S::Width);

  for (const char* key : {"ActiveRow", "InactiveRow", "EditColumn", "SortColumn", "GroupsTree"}) {
    TColor TColorSettings::*member = key == std::string("ActiveRow")     ? &TColorSettings::ActiveRow
                                     : key == std::string("InactiveRow") ? &TColorSettings::InactiveRow
                                     : key == std::string("EditColumn")  ? &TColorSettings::EditColumn
                                     : key == std::string("SortColumn")  ? &TColorSettings::SortColumn
                                                                         : &TColorSettings::GroupsTree;
    l.AddSub(colors, key, key, K::Color, kSaved, &S::Colors, member);
  }
  for (int n = 0; n < kSpecialColorCount; ++n) {
    const std::string keywords = "SpColorKeywords" + std::to_string(n);
    const std::string color = "SpColor" + std::to_string(n);
    l.Fields.push_back(Field<std::string>("Colors." + keywords, colors, keywords, K::Text, kReadOnly, R::UpperCase,
                                          [n](S& s) -> std::string& { return s.Colors.SpColorKeywords[n]; }));
    l.Fields.push_back(Field<TColor>("Colors." + color, colors, color, K::Color, kReadOnly, R::Plain,
                                     [n](S& s) -> TColor& { return s.Colors.SpColor[n]; }));
  }

  l.Bool(others, "LOGEnabled", kSaved, &S::LOGEnabled);
  l.Bool(others, "ImgDownload", kSaved, &S::ImgDownload);
  l.Text(others, "Prefix", kSaved, &S::Prefix);
  l.Text(others, "Format", kSaved, &S::Format);
  l.Text(others, "Suffix", kSaved, &S::Suffix);
  l.Text(others, "Extension", kSaved, &S::Extension);
  l.Text(others, "DBCExtension", kSaved, &S::DBCExtension);
  l.Add(others, "MaxAmount", K::Number, kReadOnly, &S::MaxAmount, R::MaxAmount);
  l.Int(others, "RememberPosition", kSaved, &S::RememberPosition);
  l.Int(others, "MaxThreadPictureLimit", kReadOnly, &S::MaxThreadPictureLimit);
  l.Int(others, "WindowState", kSaved, &S::WindowState, R::NotRead);
  l.Int(others, "Window_Left", kSaved, &S::Window_Left, R::WindowBounds);
  l.Int(others, "Window_Top", kSaved, &S::Window_Top, R::WindowBounds);
  l.Int(others, "Window_Width", kSaved, &S::Window_Width, R::WindowBounds);
  l.Int(others, "Window_Heigh", kSaved, &S::Window_Heigh, R::WindowBounds);
  l.RunTime("ApplyWindowBounds", &S::ApplyWindowBounds);
  l.RunTime("FillScreen", &S::FillScreen);
  l.Int(others, "Splitter_Right", kSaved, &S::Splitter_Right);
  l.Int(others, "Splitter_Left", kSaved, &S::Splitter_Left);
  l.Bool(others, "SmallImg", kSaved, &S::SmallImg);
  l.Bool(others, "LargeImg", kSaved, &S::LargeImg);
  l.Int(others, "LargeImgLeft", kSaved, &S::LargeImgLeft);
  l.Int(others, "LargeImgTop", kSaved, &S::LargeImgTop);
  l.Int(others, "LargeImgWidth", kSaved, &S::LargeImgWidth);
  l.Int(others, "LargeImgHeight", kSaved, &S::LargeImgHeight);

  for (int id = 0; id < kContentCount; ++id) {
    const std::string key = "ID" + std::to_string(id);
    l.Fields.push_back(Field<bool>("Find." + key, "Find", key, K::Bool, kSaved, R::Plain,
                                   [id](S& s) -> bool& { return s.Find[static_cast<size_t>(id)]; }));
  }

  l.Int(others, "MailSendFormat", kSaved, &S::MailSendFormat);
  l.AddSub(supplier, "Name", "Name", K::Text, kReadOnly, &S::Supplier, &TSupplierSettings::Name);
  l.AddSub(supplier, "Address", "Address", K::Text, kReadOnly, &S::Supplier, &TSupplierSettings::Address);
  l.AddSub(supplier, "ICO", "ICO", K::Text, kReadOnly, &S::Supplier, &TSupplierSettings::ICO);
  l.AddSub(supplier, "DIC", "DIC", K::Text, kReadOnly, &S::Supplier, &TSupplierSettings::DIC);
  l.AddSub(supplier, "RespPerson", "RespPerson", K::Text, kReadOnly, &S::Supplier, &TSupplierSettings::RespPerson);
  l.AddSub(supplier, "Phone", "Phone", K::Text, kReadOnly, &S::Supplier, &TSupplierSettings::Phone);
  l.AddSub(supplier, "Fax", "Fax", K::Text, kReadOnly, &S::Supplier, &TSupplierSettings::Fax);
  l.AddSub(supplier, "E-Mail", "EMail", K::Text, kSaved, &S::Supplier, &TSupplierSettings::EMail);
  l.Text(others, "SMTPServer", kSaved, &S::SMTPServer);
  l.Bool(others, "SMTPNeedLogin", kSaved, &S::SMTPNeedLogin);
  l.Text(others, "SMTPUser", kSaved, &S::SMTPUser);
  l.Text(others, "SMTPPassword", kSaved, &S::SMTPPassword, R::Password);
  l.Bool(others, "MailNotification", kSaved, &S::MailNotification);
  l.Text(others, "TAVPriceList", kSaved, &S::TAVPriceList);
  l.Text(others, "TAVAlias", kSaved, &S::TAVAlias);
  l.Text(others, "TAVInstName", kReadOnly, &S::TAVInstName);
  l.Text(others, "TAVInstAlias", kReadOnly, &S::TAVInstAlias);
  l.Text(others, "InstObjVersion", kReadOnly, &S::InstObjVersion);
  l.Int(others, "RegisterOBX", kSaved, &S::RegisterOBX);
  l.Bool(others, "RegisterDBC", kSaved, &S::RegisterDBC);
  l.Int(others, "DaysOldPictures", kReadOnly, &S::DaysOldPictures);
  l.Text(others, "PrefixTmpPictures", kReadOnly, &S::PrefixTmpPictures);
  l.Int(others, "MaxPriceListAge", kReadOnly, &S::MaxPriceListAge);
  l.Int(others, "PriceListActualH", kReadOnly, &S::PriceListActualH);
  l.Bool(others, "CheckOldPriceList", kSaved, &S::CheckOldPriceList);
  l.Bool(others, "PriceEnabled", kReadOnly, &S::PriceEnabled);
  l.Bool(others, "OrderEncrypt", kReadOnly, &S::OrderEncrypt);
  l.Bool(others, "AutoCheckAppUpdate", kReadOnly, &S::AutoCheckAppUpdate);
  l.Int("InfoHTML", "InfoHTMLCount", kReadOnly, &S::InfoHTMLCount);

  const std::pair<const char*, std::string TCompanySettings::*> companyTexts[] = {
      {"Name1", &TCompanySettings::Name1},     {"Name2", &TCompanySettings::Name2},
      {"Address", &TCompanySettings::Address}, {"City", &TCompanySettings::City},
      {"PSC", &TCompanySettings::PSC},         {"DIC", &TCompanySettings::DIC},
      {"ICO", &TCompanySettings::ICO},         {"RespPerson", &TCompanySettings::RespPerson},
      {"Phone", &TCompanySettings::Phone},     {"Fax", &TCompanySettings::Fax},
      {"Mobile", &TCompanySettings::Mobile},   {"ContactEmail", &TCompanySettings::ContactEmail},
      {"e-mail", &TCompanySettings::EMail},    {"Currency", &TCompanySettings::Currency}};
  for (const auto& [key, member] : companyTexts)
    l.AddSub(company, key, key == std::string("e-mail") ? "EMail" : key, K::Text, kSaved, &S::Company, member);
  l.AddSub(company, "ExRate", "ExRate", K::Number, kSaved, &S::Company, &TCompanySettings::ExRate);
  l.RunTime("ForeignCurrency", &S::ForeignCurrency);

  for (const auto& [key, member] : {std::pair{"ExportColumnsInView", &TExportSettings::ExportColumnsInView},
                                    std::pair{"ExportOrderData", &TExportSettings::ExportOrderData},
                                    std::pair{"ExportCompanyData", &TExportSettings::ExportCompanyData}})
    l.AddSub(exportSection, key, key, K::Bool, kSaved, &S::Export, member);
  l.AddSub(exportSection, "TXT_Delimiter", "TXT_Delimiter", K::Integer, kSaved, &S::Export,
           &TExportSettings::TXT_Delimiter);
  l.AddSub(exportSection, "XLS_Delimiter", "XLS_Delimiter", K::Integer, kSaved, &S::Export,
           &TExportSettings::XLS_Delimiter);
  const std::pair<const char*, std::string TExportSettings::*> exportTexts[] = {
      {"TXT_DecimalSeparator", &TExportSettings::TXT_DecimalSeparator},
      {"XLS_DecimalSeparator", &TExportSettings::XLS_DecimalSeparator},
      {"General_Created", &TExportSettings::General_Created},
      {"General_Changed", &TExportSettings::General_Changed},
      {"General_DeliveryDate", &TExportSettings::General_DeliveryDate},
      {"General_LatestDeliveryDate", &TExportSettings::General_LatestDeliveryDate},
      {"General_Sent", &TExportSettings::General_Sent},
      {"Company_Name", &TExportSettings::Company_Name},
      {"Company_Name2", &TExportSettings::Company_Name2},
      {"Company_Address", &TExportSettings::Company_Address},
      {"Company_City", &TExportSettings::Company_City},
      {"Company_PostalCode", &TExportSettings::Company_PostalCode},
      {"Company_DIC", &TExportSettings::Company_DIC},
      {"Company_ICO", &TExportSettings::Company_ICO},
      {"Company_RespPerson", &TExportSettings::Company_RespPerson},
      {"Company_Phone", &TExportSettings::Company_Phone},
      {"Company_Fax", &TExportSettings::Company_Fax},
      {"Company_Mobile", &TExportSettings::Company_Mobile},
      {"Company_email", &TExportSettings::Company_email},
      {"Company_Contactemail", &TExportSettings::Company_Contactemail}};
  for (const auto& [key, member] : exportTexts)
    l.AddSub(exportSection, key, key, K::Text, kSaved, &S::Export, member);

  l.Text(others, "LastImportDate", kSaved, &S::LastImportDate);
  l.Text(others, "LastImportFileName", kSaved, &S::LastImportFileName);
  l.Text(others, "ApplicationTitle", kReadOnly, &S::ApplicationTitle);
  l.Add("InfoText1", "InfoText1", K::Lines, kReadOnly, &S::InfoText1);
  l.Add("InfoText2", "InfoText2", K::Lines, kReadOnly, &S::InfoText2);
  l.Bool(others, "AutoSaveSettings", kReadOnly, &S::AutoSaveSettings);
  l.Bool(others, "ImgAlphaBlend", kSaved, &S::ImgAlphaBlend);
  l.Int(others, "ImgAlphaBlendValue", kSaved, &S::ImgAlphaBlendValue);
  l.Int(others, "MinDeliveryDays", kReadOnly, &S::MinDeliveryDays);
  l.Int(others, "MaxDeliveryDays", kReadOnly, &S::MaxDeliveryDays);
  l.Text(others, "EnabledDaysOfWeek", kReadOnly, &S::EnabledDaysOfWeek, R::DaysOfWeek);

  // Behind setters: the hashes follow the texts.
  for (const bool time : {false, true}) {
    TSettingsField f;
    f.Name = f.Key = time ? "CreatedTime" : "Created";
    f.Section = others;
    f.Kind = K::Text;
    f.Get = [time](const S& s) { return TFieldValue(time ? s.CreatedTime() : s.Created()); };
    f.Set = [time](S& s, const TFieldValue& v) {
      time ? s.SetCreatedTime(std::get<std::string>(v)) : s.SetCreated(std::get<std::string>(v));
    };
    l.Fields.push_back(f);
  }
  for (const bool time : {false, true}) {
    TSettingsField f;
    f.Name = time ? "CreatedTimeHash" : "CreatedHash";
    f.Kind = K::Hash;
    f.Rule = R::RunTime;
    f.Get = [time](const S& s) { return TFieldValue(time ? s.CreatedTimeHash() : s.CreatedHash()); };
    l.Fields.push_back(f);
  }
  l.Int(others, "ID2", kReadOnly, &S::ID2);
  l.Bool(others, "FindInGroup", kSaved, &S::FindInGroup);
  l.Bool(others, "AutoSearchSettings", kSaved, &S::AutoSearchSettings);
  l.Int(others, "SearchMode", kSaved, &S::SearchMode, R::SearchMode);
  l.Int(others, "SearchTimer", kReadOnly, &S::SearchTimer);

  l.RunTime("FirstRun", &S::FirstRun);
  l.RunTime("PriceListVerified", &S::PriceListVerified);
  return l.Fields;
}

} // namespace

const std::vector<TSettingsField>& AppSettingsFields() {
  static const std::vector<TSettingsField> fields = BuildFields();
  return fields;
}

TAppSettings DefaultAppSettings(const TSettingsEnvironment& env, const IColumnLayoutStore* layouts) {
  TAppSettings s(env.Designed);
  const std::string data = env.DataFolder();
  s.Orders = env.OrdersFolder();
  s.Pictures = JoinPath(data, "OBJIMG");
  s.TAVBin = "TAV.BIN";
  s.PriceList = JoinPath(data, "KARTY.DBF");
  s.Groups = JoinPath(data, "OKRUHY.DBF");
  s.LOGfile = JoinPath(data, env.ProgramName + ".LOG");

  const bool fewColors = env.ScreenBitsPerPixel <= 16;
  s.Colors.EditColumn = fewColors ? 0x0000FFFF : 0x00CCFFFF;
  s.Colors.SortColumn = fewColors ? 0x00FFFF00 : 0x00E0E0E0;
  s.Colors.GroupsTree = fewColors ? SystemColor(0x05) : 0x00F8F8F8;

  s.Prefix = "OB";
  s.Format = "YYMMDD";
  s.Extension = ".obx";
  s.DBCExtension = ".dbc";
  s.PrefixTmpPictures = "TMP$$$";
  s.TAVAlias = "Cenik";
  s.ApplicationTitle = Cz("Objednávky");
  s.EnabledDaysOfWeek = "12345";

  const TMailClientDefaults mail = ReadMailClientDefaults(env.MailClientFolder);
  s.SMTPServer = mail.SMTPServer;
  s.Company.EMail = mail.EMail;
  // Orders go here until a price-list package names the supplier's own address.
  s.Supplier.EMail = "objednavky@tvx.invalid";

  s.Export.TXT_DecimalSeparator = ".";
  s.Export.XLS_DecimalSeparator = ".";
  s.Export.General_Created = Cz("Vytvořeno");
  s.Export.General_Changed = "*";
  s.Export.General_DeliveryDate = Cz("Datum dodávky");
  s.Export.General_LatestDeliveryDate = Cz("Max.datum dodávky");
  s.Export.General_Sent = "*";
  s.Export.Company_Name = Cz("Jméno/Název");
  s.Export.Company_Name2 = Cz("Jméno/Název 2");
  s.Export.Company_Address = Cz("Adresa");
  s.Export.Company_City = Cz("Město");
  s.Export.Company_PostalCode = Cz("PSČ");
  s.Export.Company_DIC = Cz("DIČ");
  s.Export.Company_ICO = Cz("IČO");
  s.Export.Company_RespPerson = Cz("Zodpovědná osoba");
  s.Export.Company_Phone = Cz("Telefon");
  s.Export.Company_Fax = Cz("Fax");
  s.Export.Company_Mobile = Cz("Mobil");
  s.Export.Company_email = Cz("Email");
  s.Export.Company_Contactemail = Cz("Kontaktní email");

  for (int id = 0; id < kContentCount; ++id)
    s.Find[static_cast<size_t>(id)] = layouts && layouts->BuiltInSearched(id);
  return s;
}

std::string FieldValueText(const TFieldValue& value) {
  struct {
    std::string operator()(bool v) const { return v ? "1" : "0"; }
    std::string operator()(int v) const { return std::to_string(v); }
    std::string operator()(std::uint32_t v) const { return std::to_string(v); }
    std::string operator()(const std::string& v) const { return v; }
    std::string operator()(const std::vector<std::string>& lines) const {
      std::string text;
      for (size_t i = 0; i < lines.size(); ++i)
        text += (i ? "\n" : "") + lines[i];
      return text;
    }
    std::string operator()(double v) const {
      if (!std::isfinite(v))
        return std::isnan(v) ? "NAN" : v < 0 ? "-INF" : "INF";
      // Plain decimals where they stay short ("1000000", "1500.5"), else the exponent form.
      const double magnitude = std::fabs(v);
      const bool plain = v == 0 || (magnitude >= 1e-5 && magnitude < 1e15);
      char buffer[64];
      const auto result = plain ? std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed)
                                : std::to_chars(buffer, buffer + sizeof buffer, v);
      return std::string(buffer, result.ptr);
    }
  } visitor;
  return std::visit(visitor, value);
}
