// Reading KARTY.DBF into the list and checking that the table is the one the supplier issued.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "catalogue/PriceList.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "core/ReportMessage.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"

namespace {

enum class TFieldKind { Text, Float, Integer, Date };

// One card field and the table field it is read from.
struct TCardField {
  const char* Name;
  TFieldKind Kind;
  std::string TPriceListItem::*Text = nullptr;
  double TPriceListItem::*Float = nullptr;
  int TPriceListItem::*Integer = nullptr;
  TDateTime TPriceListItem::*Date = nullptr;
};

TCardField TextField(const char* name, std::string TPriceListItem::*member) {
  return {name, TFieldKind::Text, member, nullptr, nullptr, nullptr};
}
TCardField FloatField(const char* name, double TPriceListItem::*member) {
  return {name, TFieldKind::Float, nullptr, member, nullptr, nullptr};
}
TCardField IntegerField(const char* name, int TPriceListItem::*member) {
  return {name, TFieldKind::Integer, nullptr, nullptr, member, nullptr};
}

const std::vector<TCardField>& CardFields() {
  using C = TPriceListItem;
  static const std::vector<TCardField> fields = {
      TextField("Kod", &C::Kod),
      TextField("Nazev", &C::Nazev),
      FloatField("Cena", &C::Cena),
      FloatField("CenaSDPH", &C::CenaSDPH),
      FloatField("Baleni", &C::Baleni),
      IntegerField("VeVrstve", &C::VeVrstve),
      IntegerField("NaPalete", &C::NaPalete),
      FloatField("SazbaDPH", &C::SazbaDPH),
      TextField("Jednotka", &C::Jednotka),
      IntegerField("TYPKARTY", &C::TYPKARTY),
      TextField("EAN", &C::EAN),
      TextField("SKUPINA1", &C::SKUPINA1),
      TextField("SKUPINA2", &C::SKUPINA2),
      TextField("SKUPINA3", &C::SKUPINA3),
      TextField("NSKUPINA2", &C::NSKUPINA2),
      TextField("POPISSKP1", &C::POPISSKP1),
      TextField("POPISSKP2", &C::POPISSKP2),
      TextField("POPISSKP3", &C::POPISSKP3),
      TextField("OBRAZEK", &C::OBRAZEK),
      FloatField("HMOTNOST", &C::HMOTNOST),
      IntegerField("ZARUKA", &C::ZARUKA),
      TextField("KODLAHEV", &C::KODLAHEV),
      FloatField("CENALAHEV", &C::CENALAHEV),
      FloatField("SAZBALAHEV", &C::SAZBALAHEV),
      TextField("KODPREPR", &C::KODPREPR),
      FloatField("CENAPREPR", &C::CENAPREPR),
      FloatField("SAZBAPREPR", &C::SAZBAPREPR),
      {"DATUMZMENY", TFieldKind::Date, nullptr, nullptr, nullptr, &C::DATUMZMENY},
      FloatField("ZASOBA", &C::ZASOBA),
      TextField("POZNAMKA", &C::POZNAMKA),
      TextField("CISLOSHODA", &C::CISLOSHODA),
      TextField("SKLMJ", &C::SKLMJ),
      FloatField("NAKUPCENA", &C::NAKUPCENA),
      TextField("DOSTUPNOST", &C::DOSTUPNOST),
      TextField("KLICSLOVA", &C::KLICSLOVA),
      TextField("DODAVATEL", &C::DODAVATEL),
      TextField("VYROBCE", &C::VYROBCE),
      IntegerField("PRIZNAKY", &C::PRIZNAKY),
      FloatField("OBJPOCETB", &C::OBJPOCETB),
      FloatField("DopCena", &C::DopCena),
      FloatField("DopCenaDPH", &C::DopCenaDPH),
  };
  return fields;
}

// A table field found once per load, with the card field it fills.
struct TBoundField {
  const TCardField* Card;
  const TDBFField* Table;
};

void ReadField(const TBoundField& f, TPriceListItem& card) {
  switch (f.Card->Kind) {
  case TFieldKind::Text:
    f.Table->AsString(card.*(f.Card->Text));
    break;
  case TFieldKind::Float:
    card.*(f.Card->Float) = f.Table->AsFloat();
    break;
  case TFieldKind::Integer:
    card.*(f.Card->Integer) = f.Table->AsInteger();
    break;
  case TFieldKind::Date:
    card.*(f.Card->Date) = f.Table->AsDate();
    break;
  }
}

// A file opened for reading with writing denied to other instances of the program (the
// table class's advisory lock).
class TReadLockedFile {
public:
  explicit TReadLockedFile(const std::string& fileName) : FName(fileName) {
    do
      FFd = ::open(NativeFileName(fileName).c_str(), O_RDONLY | O_CLOEXEC);
    while (FFd < 0 && errno == EINTR);
    if (FFd < 0)
      throw SystemError(fileName, errno);
    while (::flock(FFd, LOCK_SH) != 0)
      if (errno != EINTR) {
        const int error = errno;
        ::close(FFd);
        throw SystemError(fileName, error);
      }
  }
  ~TReadLockedFile() { ::close(FFd); }
  TReadLockedFile(const TReadLockedFile&) = delete;
  TReadLockedFile& operator=(const TReadLockedFile&) = delete;

  // Fills the buffer as far as the file goes; 0 at the end.
  size_t Read(char* data, size_t size) {
    for (;;) {
      const ssize_t n = ::read(FFd, data, size);
      if (n >= 0)
        return static_cast<size_t>(n);
      if (errno != EINTR)
        throw SystemError(FName, errno);
    }
  }

private:
  std::string FName;
  int FFd = -1;
};

bool FileExists(const std::string& fileName) {
  struct stat st;
  return ::stat(NativeFileName(fileName).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace

std::string MakeSearchName(std::string_view nazev) {
  std::string key = RemoveDiacritics(nazev);
  for (char& c : key)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return key;
}

bool TPriceList::VerifyPriceList(const std::string& fileName, TAppSettings& settings) {
  settings.PriceListVerified = false;
  if (!settings.PriceEnabled)
    return false;
  std::uint32_t h = 0;
  const auto feed = [&h](unsigned char b) { h = b + h * 65599u; };
  for (const std::uint32_t prefix : {settings.CreatedHash(), settings.CreatedTimeHash()})
    for (int shift = 0; shift < 32; shift += 8)
      feed(static_cast<unsigned char>(prefix >> shift));
  TReadLockedFile file(fileName);
  std::vector<char> buffer(1 << 16);
  while (const size_t n = file.Read(buffer.data(), buffer.size()))
    for (size_t i = 0; i < n; ++i)
      feed(static_cast<unsigned char>(buffer[i]));
  settings.PriceListVerified = static_cast<std::int32_t>(h) == settings.ID2;
  return settings.PriceListVerified;
}

void TPriceList::LoadCards(TAppSettings& settings, IPriceListHost& host, IProgress& progress) {
  const std::string& fileName = settings.PriceList;
  if (!FileExists(fileName))
    throw Exception(Format(Cz("Soubor %s obsahující ceník nebyl nalezen.\r\nV nastavení programu určete správnou "
                              "cestu k ceníku\r\nnebo proveďte import nového ceníku."),
                           {fileName}));
  VerifyPriceList(fileName, settings);

  TDBFFile table(fileName, TDBFConversion::Cp852);
  table.Open(TDBFAccess::ReadOnlyDenyWrite);
  const long long count = table.RecordCount();
  progress.Start(count);

  std::vector<TBoundField> bound;
  for (const TCardField& field : CardFields())
    if (const TDBFField* found = table.FindField(field.Name))
      bound.push_back({&field, found});
  if (!table.FindField("Kod") || !table.FindField("Nazev"))
    throw Exception(Format(Cz("Soubor %s nemá formát použitelný pro import ceníku"), {fileName}));
  const bool hasBaleni = table.FindField("Baleni") != nullptr;
  progress.ProcessMessages();
  host.PictureFieldPresent(table.FindField("OBRAZEK") != nullptr);

  // The header's count is not trusted for the allocation: a damaged header may claim
  // billions of records that the file does not hold.
  FItems.reserve(static_cast<size_t>(std::min<long long>(count, 1 << 20)));
  const int step = ProgressStep(count);
  long long recNo = 0;
  for (table.First(); !table.Eof(); table.Next(), ++recNo) {
    if (recNo % step == 0)
      progress.Position(recNo);
    auto card = std::make_unique<TPriceListItem>();
    for (const TBoundField& field : bound)
      ReadField(field, *card);
    if (!hasBaleni || !(card->Baleni > 0))
      card->Baleni = 1;
    if (card->Kod.empty())
      continue;
    card->SearchName = MakeSearchName(card->Nazev);
    AssignSpecialColor(*card);
    FItems.push_back(std::move(card));
  }
  table.Close();
  SortAfterLoad(settings);
  // The copies the search reads are made here, as part of the load the user waits for
  // anyway, so the first keystroke after a load is as quick as every later one.
  PrepareSearch();
}

void TPriceList::LoadPriceListOrThrow(TAppSettings& settings, IPriceListHost& host, IProgress& progress) {
  host.DetachOrder();
  Clear();
  SetColorRules(settings.Colors);
  LastImportDate = settings.LastImportDate;
  LastImportFileName = settings.LastImportFileName;
  try {
    LoadCards(settings, host, progress);
  } catch (...) {
    progress.Finish();
    host.AttachOrder(*this);
    host.ShowCards(Count());
    throw;
  }
  progress.Finish();
  host.AttachOrder(*this);
  host.ShowCards(Count());
}

bool TPriceList::LoadPriceList(TAppSettings& settings, IPriceListHost& host, IProgress& progress) {
  try {
    LoadPriceListOrThrow(settings, host, progress);
    return true;
  } catch (const std::exception& e) {
    ReportMessage(e.what(), {TMsgButtons::OK, TMsgIcon::Error}, Cz("Ceník"));
    return false;
  }
}
