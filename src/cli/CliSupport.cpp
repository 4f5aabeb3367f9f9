#include "cli/CliSupport.h"

#include "core/Errors.h"
#include "core/Format.h"
#include "formats/Cp1250Utf8.h"

std::string CliArgs::Option(const std::string& name, const std::string& fallback) const {
  const auto it = Options.find(name);
  return it == Options.end() ? fallback : it->second;
}

std::vector<std::string> CliArgs::OptionValues(const std::string& name) const {
  const auto it = Repeated.find(name);
  return it == Repeated.end() ? std::vector<std::string>{} : it->second;
}

CliArgs ParseCliArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                     const std::set<std::string>& flagOptions) {
  CliArgs result;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
      result.Positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = a.substr(2);
    std::string value;
    bool hasInlineValue = false;
    if (const auto eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasInlineValue = true;
    }
    if (valueOptions.count(name)) {
      if (!hasInlineValue) {
        if (i + 1 >= args.size())
          throw UsageError("option --" + name + " needs a value");
        value = args[++i];
      }
      result.Options[name] = value;
      result.Repeated[name].push_back(value);
    } else if (flagOptions.count(name) && !hasInlineValue) {
      result.Flags.insert(name);
    } else {
      throw UsageError("unknown option --" + name);
    }
  }
  return result;
}

Locale DotLocale() {
  Locale locale = Locale::Czech();
  locale.DecimalSeparator = '.';
  return locale;
}

TDateTime CommandDate(const std::string& utf8) {
  const TDateTime date = TextToDate(Utf8ToCp1250(utf8));
  if (date == 0)
    throw Exception(Format(Cz("'%s' není platné datum"), {Utf8ToCp1250(utf8)}));
  return date;
}

std::string EscapeField(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case '\t':
      out += "\\t";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\n':
      out += "\\n";
      break;
    default:
      out += c;
    }
  }
  return out;
}

void RequirePositional(const CliArgs& args, std::size_t least, std::size_t most) {
  const std::size_t got = args.Positional.size();
  if (got < least || got > most)
    throw UsageError("wrong number of arguments: " + std::to_string(got));
}
