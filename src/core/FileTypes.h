#pragma once

#include <functional>
#include <string>
#include <vector>

// Registration of the program's file types with the desktop, the freedesktop way and for the
// signed-in user only (no administrator rights needed):
//   <data home>/mime/packages/<program>-<progid>.xml   shared-mime-info package: the MIME type
//                                                      application/x-<progid> with its
//                                                      description and the glob "*<ext>"
//   <data home>/applications/<program>-<progid>.desktop  a hidden desktop entry that opens such
//                                                      files with the program ("%f"), with an
//                                                      extra action for a verb other than "open"
// (<progid> in lower case), then "update-mime-database <data home>/mime" and
// "update-desktop-database -q <data home>/applications" for the folders where a file changed.
// A file already holding the same text is left alone, so registering at every start costs
// nothing after the first. Files are written to a temporary file in their folder and renamed.
//
// Registration never fails visibly: a folder that cannot be made, a file that cannot be
// written, a helper program that is missing or fails - each means that part is not done.
// Nothing is ever removed: switching a registration off in the settings leaves the old one.

// Where and with what the types are registered; every outside dependency lives here.
struct TFileTypeEnvironment {
  // The user's data folder (native name); empty means nothing is registered.
  std::string DataHome;
  // The program file the desktop entries start (native full path); empty means nothing is
  // registered.
  std::string ProgramFile;
  // The beginning of the written files' names.
  std::string ProgramName = "objednavky";
  // Runs one helper program (argv[0] is looked up in PATH) and waits for it; must not throw.
  // Empty: RunToolQuietly.
  std::function<void(const std::vector<std::string>& argv)> RunTool;

  // DataHome from $XDG_DATA_HOME (an unset or relative value means $HOME/.local/share; empty
  // when neither is usable), the given program file, the default runner.
  static TFileTypeEnvironment FromSystem(std::string programFile);
};

// Starts the program with its input and output on /dev/null, without a shell, and waits for
// it; a program that cannot be started is ignored.
void RunToolQuietly(const std::vector<std::string>& argv);

// The settings that say what to register (the values of "RegisterOBX", "Extension",
// "RegisterDBC" and "DBCExtension").
struct TFileTypeSettings {
  int RegisterOBX = 0;
  std::string Extension = ".obx";
  bool RegisterDBC = false;
  std::string DBCExtension = ".dbc";
};

// The identifier a type is registered under: the extension's characters 2 to 10 followed by
// "file" (".obx" gives "obxfile"). Code page 1250.
std::string FileTypeProgId(const std::string& extension);
// "application/x-" followed by the identifier in lower case.
std::string FileTypeMimeType(const std::string& progId);

// Registers one type. extension: with its leading "."; progId: the identifier; description:
// the type's name shown by file managers; verbCaption: the menu text of the verb (an "&"
// marking the access key is dropped, "&&" is a literal "&"), may be empty; verb: "open" for
// the default action only, another name ("edit") adds an action of that name. Texts in code
// page 1250. An extension, identifier or verb with characters other than ASCII letters,
// digits, ".", "_", "-" and "+" (verb: letters, digits and "-") is not registered.
void RegisterFileType(const std::string& extension, const std::string& progId, const std::string& description,
                      const std::string& verbCaption, const std::string& verb, const TFileTypeEnvironment& env);

// Applies the settings: with an order-file extension beginning with ".", "RegisterOBX" 1
// registers order files with the verb "open", 2 with the verb "edit" captioned "&Upravit
// objednávku", any other value nothing; "RegisterDBC" on registers price-list packages with
// the verb "open" (an extension without the leading "." is skipped, it could not match a
// file's extension).
void RegisterFileTypes(const TFileTypeSettings& settings, const TFileTypeEnvironment& env);
