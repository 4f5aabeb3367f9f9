#pragma once

#include <functional>
#include <optional>
#include <string>

#include "orders/Order.h"
#include "orders/OrderFile.h"

struct TAppSettings;
struct TColumnList;
struct TCellEnvironment;

// The main window's order commands New, Open, Save and Save as, and the question asked when
// the window closes, without the window: the file dialogs go through IOrderCommandsUi, the
// questions through the options' message sink, and the parts written elsewhere (import,
// export, the delivery-date check) through the seams of TOrderCommands.

// File types of the Open and Save as dispatch (the dialogs' filter numbers).
constexpr int kTextFileType = 2;        // delimited text: import .txt/.csv, export .txt
constexpr int kDBaseFileType = 3;       // dBase table: import only
constexpr int kSpreadsheetFileType = 4; // spreadsheet text (.xls): export only

// What a file dialog is opened with. Texts are code page 1250.
struct TFileDialogRequest {
  std::string Filter;        // "description|patterns|description|patterns..."
  int FilterIndex = 1;       // the preselected filter, counted from 1
  std::string FileName;      // the proposed name (Open: a pattern such as "*.obx")
  std::string DefaultExt;    // added to a name typed without one; no leading point
  std::string InitialFolder; // where the dialog starts
};

// The user's choice: the path and the filter (from 1) that was selected.
struct TFileDialogChoice {
  std::string FileName;
  int FilterIndex = 1;
};

// The dialogs and the refresh the GUI supplies. The commands call them on the caller's
// thread; implementations may run a modal dialog.
class IOrderCommandsUi {
public:
  virtual ~IOrderCommandsUi() = default;
  // Empty when the user cancelled.
  virtual std::optional<TFileDialogChoice> OpenFileDialog(const TFileDialogRequest& request) = 0;
  virtual std::optional<TFileDialogChoice> SaveFileDialog(const TFileDialogRequest& request) = 0;
  // The order was replaced, reset or read: the grids, the totals, the status bar and the
  // order header show it again. Must not throw (it also runs while a failure unwinds).
  virtual void RefreshOrder() {}
};

// Reads a foreign file into the order: type kTextFileType or kDBaseFileType. Called after the
// order's FileName has been set to path; the order is not cleared first. Failures are thrown
// (Exception with the Czech message); the lines added before stay.
using TOrderImportFn = std::function<void(TOrder& order, const std::string& path, int type)>;
// Writes the order as delimited text to path: delimiter is a character code, decimalSeparator
// the text that replaces the user's decimal separator in numbers. Failures are thrown.
using TOrderExportFn =
    std::function<void(TOrder& order, const std::string& path, int delimiter, const std::string& decimalSeparator)>;
// The delivery-date check before saving: true when the order may be saved (the dates pass or
// the user corrected them), false when the user cancelled.
using TDeliveryCheckFn = std::function<bool(TOrder& order)>;

// "Prefix", DeliveryDate in the pattern "Format" and "Suffix": the name Save as proposes
// for an order that has never been saved ("OB250314" for 14 March 2025 by default).
std::string ProposedOrderFileName(const TAppSettings& settings, TDateTime deliveryDate);

// True when the file name's extension is ".obx" in any case (the built-in extension, whatever
// "Extension" says): only such a file is saved in place by Save.
bool HasOrderFileExtension(const std::string& fileName);

// Puts the order's lines into the order grid's order: by the column at columns.SortColumn
// (CompareOrderLines), equal lines keeping their order.
void SortOrderLines(TOrder& order, const TColumnList& columns, const TCellEnvironment& env);

// The commands on one order. The order, the settings and the UI must outlive the object.
// Every command returns true when it did what it was asked for and false when the user
// declined somewhere on the way (silently). Failures of reading, writing, import and export
// are thrown (Exception with the Czech message) for the command handler to log and show;
// the order then keeps what it had at that point.
class TOrderCommands {
public:
  TOrderCommands(TOrder& order, const TAppSettings& settings, IOrderCommandsUi& ui, TOrderFileOptions fileOptions = {});

  // The seams to the import, the export and the delivery-date check. An empty import or
  // export throws std::logic_error when its file type is chosen; an empty check lets every
  // order pass.
  TOrderImportFn Import;
  TOrderExportFn Export;
  TDeliveryCheckFn CheckDeliveryDates;

  // "&Nová": after the unsaved-changes question, the order is reset (NewOrder) and shown.
  bool New();
  // "&Otevřít...": the open dialog, the unsaved-changes question, then FileName = the chosen
  // path and the file read as the chosen filter says (1 order file, 2 text, 3 dBase). The
  // order is shown again afterwards, also when reading failed.
  bool Open();
  // "&Uložit": Save as for an order without a file or with a file that is not ".obx";
  // otherwise the delivery-date check and the order file written to FileName.
  bool Save();
  // "Uložit j&ako...": for an order without a file the delivery-date check first; the save
  // dialog proposing the order's file without its extension, or ProposedOrderFileName in the
  // orders folder; then SaveAsType with the chosen filter.
  bool SaveAs();
  // Saves with the common steps of SaveOrder: type 1 the order file (FileName becomes path),
  // 2 and 4 the export with the "TXT_" or "XLS_" delimiter and decimal separator; any other
  // type throws Exception "Chybně určený typ souboru. Soubor nebyl uložen" and writes nothing.
  bool SaveAsType(const std::string& path, int type);
  // Closing the main window: true when it may close. A modified order asks "Přejete si uložit
  // změny v objednávce ?" (Yes, No, Cancel): Yes saves (true only when the save did; a save
  // failure propagates), No closes and Cancel stays, both logging that the order was not saved.
  bool QueryClose();

  // The dialogs' requests as the commands make them (Save as: for the order as it is now).
  TFileDialogRequest OpenDialogRequest() const;
  TFileDialogRequest SaveDialogRequest() const;

private:
  bool ConfirmDiscard();
  std::string ExtensionWithoutPoint() const;

  TOrder& FOrder;
  const TAppSettings& FSettings;
  IOrderCommandsUi& FUi;
  TOrderFileOptions FFileOptions;
};

class IImportProblemDialog;
class IDeliveryDateDialog;

// Connects the seams of commands to the application's import, export and delivery-date check
// (App()), with the GUI's problem dialog and date dialog; both must outlive the commands.
void ConnectOrderTransfers(TOrderCommands& commands, IImportProblemDialog& problems, IDeliveryDateDialog& dates);
