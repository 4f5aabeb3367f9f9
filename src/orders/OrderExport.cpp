#include "orders/OrderExport.h"

#include "core/AppContext.h"
#include "core/AppSettings.h"
#include "core/DateFormat.h"
#include "formats/LzhIo.h"
#include "orders/Order.h"
#include "ui/ColumnInfos.h"
#include "ui/ColumnLayouts.h"
#include "ui/Columns.h"

namespace {

constexpr const char* kCrLf = "\r\n";
// Dates up to this day are the empty dates of older files and are written empty.
constexpr TDateTime kNoDateBefore = 36892; // 1.1.2001

bool Omitted(const std::string& label) { return label == "*"; }

std::string ExportDate(TDateTime value, const Locale& locale) {
  return value > kNoDateBefore ? FormatDateTime("dd/mm/yyyy", value, locale) : std::string();
}

struct TExportColumn {
  int ID;
  std::string Header;
};

std::vector<TExportColumn> ChosenColumns(const TExportEnvironment& env) {
  std::vector<TExportColumn> columns;
  const auto& infos = ColumnInfos();
  if (env.Settings->Export.ExportColumnsInView) {
    TColumnList defaults;
    const TColumnList* list = env.OrderColumns;
    if (!list) {
      BuildDefaultLayout(defaults, TContentModes{env.Settings->NoPackages, env.Settings->NoStock});
      list = &defaults;
    }
    for (const TdgColumn& column : list->Columns)
      if (IsValidContentID(column.ID) && infos[size_t(column.ID)].Exported)
        columns.push_back({column.ID, column.Header});
  } else {
    for (int id = 0; id < kContentCount; ++id)
      if (infos[size_t(id)].Exported)
        columns.push_back({id, infos[size_t(id)].Caption});
  }
  return columns;
}

std::string DataCell(const TOrderItem& line, int id, char delimiter, const std::string& decimalSeparator,
                     bool columnsInView, const TExportEnvironment& env) {
  std::string text = OrderCellText(&line, id, env.Cells);
  const std::uint8_t kind = ColumnInfos()[size_t(id)].ValueKind;
  if (kind == vkNumber || kind == vkAmount) {
    const size_t first = text.find_first_not_of(' ');
    text.erase(0, first == std::string::npos ? text.size() : first);
    const char userSeparator = env.Cells.Loc().DecimalSeparator;
    if (!decimalSeparator.empty() && decimalSeparator[0] != userSeparator) {
      const size_t at = text.find(userSeparator);
      if (at != std::string::npos)
        text[at] = decimalSeparator[0];
    }
  }
  if (!columnsInView) {
    // Other programs read the all-columns export without quoting rules: no quotes, and no
    // delimiter inside a cell.
    for (char& c : text) {
      if (c == '"' || c == '\'')
        c = '`';
      else if (c == delimiter)
        c = '.';
    }
  }
  return text;
}

} // namespace

TExportFormat ExportFormatFor(const TAppSettings& settings, int fileType) {
  const bool spreadsheet = fileType == 4;
  TExportFormat format;
  format.Delimiter = static_cast<char>(spreadsheet ? settings.Export.XLS_Delimiter : settings.Export.TXT_Delimiter);
  format.DecimalSeparator = spreadsheet ? settings.Export.XLS_DecimalSeparator : settings.Export.TXT_DecimalSeparator;
  return format;
}

std::string ExportText(const TOrder& order, char delimiter, const std::string& decimalSeparator,
                       const TExportEnvironment& env) {
  const TAppSettings& settings = *env.Settings;
  const TExportSettings& labels = settings.Export;
  const Locale& locale = env.Cells.Loc();
  std::string out;
  auto labelled = [&](const std::string& label, const std::string& value) {
    if (!Omitted(label))
      out.append(label).append(1, delimiter).append(value).append(kCrLf);
  };

  if (labels.ExportOrderData) {
    labelled(labels.General_Created, ExportDate(order.Created, locale));
    labelled(labels.General_Changed, ExportDate(order.Changed, locale));
    labelled(labels.General_DeliveryDate, ExportDate(order.DeliveryDate, locale));
    labelled(labels.General_LatestDeliveryDate, ExportDate(order.LatestDeliveryDate, locale));
    labelled(labels.General_Sent, ExportDate(order.Sent, locale));
  }
  if (labels.ExportCompanyData) {
    const TCompanySettings& company = settings.Company;
    out.append(kCrLf);
    // The second name has no label of its own: it is the name's label with "2", and goes
    // with it.
    if (!Omitted(labels.Company_Name)) {
      labelled(labels.Company_Name, company.Name1);
      labelled(labels.Company_Name + "2", company.Name2);
    }
    labelled(labels.Company_Address, company.Address);
    labelled(labels.Company_City, company.City);
    labelled(labels.Company_PostalCode, company.PSC);
    labelled(labels.Company_DIC, company.DIC);
    labelled(labels.Company_ICO, company.ICO);
    labelled(labels.Company_RespPerson, company.RespPerson);
    labelled(labels.Company_Phone, company.Phone);
    labelled(labels.Company_Fax, company.Fax);
    labelled(labels.Company_Mobile, company.Mobile);
    labelled(labels.Company_email, company.EMail);
  }
  if (labels.ExportOrderData || labels.ExportCompanyData)
    out.append(kCrLf);

  const std::vector<TExportColumn> columns = ChosenColumns(env);
  for (size_t k = 0; k < columns.size(); ++k) {
    if (k)
      out += delimiter;
    out += columns[k].Header;
  }
  out.append(kCrLf);
  for (int i = 0; i < order.Count(); ++i) {
    for (size_t k = 0; k < columns.size(); ++k) {
      if (k)
        out += delimiter;
      out += DataCell(order.Line(i), columns[k].ID, delimiter, decimalSeparator, labels.ExportColumnsInView, env);
    }
    out.append(kCrLf);
  }
  return out;
}

void Export(const TOrder& order, const std::string& path, char delimiter, const std::string& decimalSeparator,
            const TExportEnvironment& env) {
  const std::string text = ExportText(order, delimiter, decimalSeparator, env);
  lzhio::TAtomicFile file(path);
  lzhio::WriteAll(file.Fd(), text.data(), text.size(), path);
  file.Commit();
}

void Export(const TOrder& order, const std::string& path, char delimiter, const std::string& decimalSeparator) {
  AppContext& app = App();
  TExportEnvironment env;
  env.Settings = &app.Settings;
  env.OrderColumns = &app.Columns().OrderColumns;
  env.Cells = app.CellEnvironment();
  Export(order, path, delimiter, decimalSeparator, env);
}
