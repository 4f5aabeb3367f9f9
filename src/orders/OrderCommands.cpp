#include "orders/OrderCommands.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "core/AppSettings.h"
#include "core/DateFormat.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"
#include "orders/DeliveryDates.h"
#include "orders/OrderExport.h"
#include "orders/OrderImport.h"
#include "ui/CardCompare.h"

namespace {

// The part of a file name after its folder.
std::string BaseName(const std::string& fileName) {
  const std::size_t slash = fileName.find_last_of("/\\");
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

// The base name without its extension (the last "." and what follows).
std::string WithoutExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Runs the refresh when the scope ends, also by an exception.
class TRefreshGuard {
public:
  explicit TRefreshGuard(IOrderCommandsUi& ui) : FUi(ui) {}
  ~TRefreshGuard() { FUi.RefreshOrder(); }
  TRefreshGuard(const TRefreshGuard&) = delete;
  TRefreshGuard& operator=(const TRefreshGuard&) = delete;

private:
  IOrderCommandsUi& FUi;
};

} // namespace

std::string ProposedOrderFileName(const TAppSettings& settings, TDateTime deliveryDate) {
  return settings.Prefix + FormatDateTime(settings.Format, deliveryDate) + settings.Suffix;
}

bool HasOrderFileExtension(const std::string& fileName) {
  const std::string name = BaseName(fileName);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.size() - dot != 4)
    return false;
  std::string ext = name.substr(dot);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return ext == ".obx";
}

void SortOrderLines(TOrder& order, const TColumnList& columns, const TCellEnvironment& env) {
  std::vector<TOrderItem> lines;
  lines.reserve(static_cast<std::size_t>(order.Count()));
  for (int i = 0; i < order.Count(); ++i)
    lines.push_back(order.Line(i));
  // CompareOrderLines is not a strict weak order (NearlyEqual); a merge sort copes with that.
  std::stable_sort(lines.begin(), lines.end(),
                   [&](const TOrderItem& a, const TOrderItem& b) { return CompareOrderLines(a, b, columns, env) < 0; });
  order.Clear();
  for (TOrderItem& line : lines)
    order.Append(std::move(line));
}

TOrderCommands::TOrderCommands(TOrder& order, const TAppSettings& settings, IOrderCommandsUi& ui,
                               TOrderFileOptions fileOptions)
    : FOrder(order), FSettings(settings), FUi(ui), FFileOptions(std::move(fileOptions)) {}

std::string TOrderCommands::ExtensionWithoutPoint() const {
  const std::string& ext = FSettings.Extension;
  return !ext.empty() && ext[0] == '.' ? ext.substr(1) : ext;
}

bool TOrderCommands::ConfirmDiscard() {
  if (!FOrder.Modified || FOrder.Count() == 0)
    return true;
  const TMsgResult answer =
      FFileOptions.Sink().Show(Cz("Neuložené změny budou ztraceny.\r\nChcete založit novou objednávku ?"), "",
                               {TMsgButtons::OKCancel, TMsgIcon::Question});
  if (answer != TMsgResult::OK)
    return false;
  WriteLog(Format(Cz("Objednávka nebyla uložena (položek: %d)"), {FOrder.Count()}));
  return true;
}

bool TOrderCommands::New() {
  if (!ConfirmDiscard())
    return false;
  FOrder.NewOrder();
  FUi.RefreshOrder();
  return true;
}

TFileDialogRequest TOrderCommands::OpenDialogRequest() const {
  TFileDialogRequest request;
  request.Filter = Format(Cz("Objednávky (*%s)|*%0:s|Textový soubor|*.txt; *.csv|DBF|*.dbf"), {FSettings.Extension});
  request.FilterIndex = 1;
  request.FileName = "*" + FSettings.Extension;
  request.DefaultExt = ExtensionWithoutPoint();
  request.InitialFolder = FSettings.Orders;
  return request;
}

bool TOrderCommands::Open() {
  const std::optional<TFileDialogChoice> choice = FUi.OpenFileDialog(OpenDialogRequest());
  if (!choice || !ConfirmDiscard())
    return false;
  const TRefreshGuard refresh(FUi);
  FOrder.FileName = choice->FileName;
  const int type = choice->FilterIndex == kTextFileType || choice->FilterIndex == kDBaseFileType ? choice->FilterIndex
                                                                                                 : kOrderFileType;
  if (type == kOrderFileType) {
    ReadOrderFile(FOrder, choice->FileName, FFileOptions);
  } else {
    if (!Import)
      throw std::logic_error("the order import is not connected");
    Import(FOrder, choice->FileName, type);
  }
  return true;
}

bool TOrderCommands::Save() {
  if (FOrder.FileName.empty() || !HasOrderFileExtension(FOrder.FileName))
    return SaveAs();
  if (CheckDeliveryDates && !CheckDeliveryDates(FOrder))
    return false;
  return SaveAsType(FOrder.FileName, kOrderFileType);
}

TFileDialogRequest TOrderCommands::SaveDialogRequest() const {
  TFileDialogRequest request;
  request.Filter = Format(Cz("Objednávky (*%s)|*%0:s|Textový soubor (*.txt)|*.txt|Databáze dBase (*.dbf)|*.dbf|"
                             "Microsoft Excel (*.xls)|*.xls"),
                          {FSettings.Extension});
  request.FilterIndex = 1;
  request.DefaultExt = ExtensionWithoutPoint();
  if (!FOrder.FileName.empty()) {
    request.FileName = WithoutExtension(BaseName(FOrder.FileName));
    request.InitialFolder = FileFolder(FOrder.FileName);
  } else {
    request.FileName = ProposedOrderFileName(FSettings, FOrder.DeliveryDate);
    request.InitialFolder = FSettings.Orders;
  }
  return request;
}

bool TOrderCommands::SaveAs() {
  // A new order's name carries its delivery date, so the date is settled first.
  if (FOrder.FileName.empty() && CheckDeliveryDates && !CheckDeliveryDates(FOrder))
    return false;
  const std::optional<TFileDialogChoice> choice = FUi.SaveFileDialog(SaveDialogRequest());
  if (!choice)
    return false;
  return SaveAsType(choice->FileName, choice->FilterIndex);
}

bool TOrderCommands::SaveAsType(const std::string& path, int type) {
  if (type == kOrderFileType)
    return SaveOrderFile(FOrder, path, false, false, FSettings, FFileOptions);
  return SaveOrder(FOrder, path, type, [&] {
    const TExportSettings& s = FSettings.Export;
    if (type != kTextFileType && type != kSpreadsheetFileType)
      throw Exception(Cz("Chybně určený typ souboru. Soubor nebyl uložen"));
    if (!Export)
      throw std::logic_error("the order export is not connected");
    if (type == kTextFileType)
      Export(FOrder, path, s.TXT_Delimiter, s.TXT_DecimalSeparator);
    else
      Export(FOrder, path, s.XLS_Delimiter, s.XLS_DecimalSeparator);
    return true;
  });
}

bool TOrderCommands::QueryClose() {
  if (!FOrder.Modified)
    return true;
  const TMsgResult answer = FFileOptions.Sink().Show(Cz("Přejete si uložit změny v objednávce ?"), "",
                                                     {TMsgButtons::YesNoCancel, TMsgIcon::Question});
  if (answer == TMsgResult::Yes)
    return Save();
  WriteLog(Format(Cz("Objednávka nebyla uložena (položek: %d)"), {FOrder.CountNonEmptyLines()}));
  return answer == TMsgResult::No;
}

void ConnectOrderTransfers(TOrderCommands& commands, IImportProblemDialog& problems, IDeliveryDateDialog& dates) {
  commands.Import = [&problems](TOrder& order, const std::string& path, int type) {
    Import(order, path, type, problems);
  };
  commands.Export = [](TOrder& order, const std::string& path, int delimiter, const std::string& decimalSeparator) {
    Export(order, path, static_cast<char>(delimiter), decimalSeparator);
  };
  commands.CheckDeliveryDates = [&dates](TOrder& order) { return CheckDeliveryDates(order, dates); };
}
