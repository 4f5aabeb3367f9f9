#pragma once

#include <cstdint>
#include <string>

#include "core/DateTime.h"

// Row colour of the grids; kNoSpecialColor means "no special colour".
using TColorValue = std::int32_t;
constexpr TColorValue kNoSpecialColor = 0x1FFFFFFF;

// One card of the supplier's price list, filled from the KARTY.DBF field of the same name.
// A field missing from the table keeps its default (empty text, 0, no date), except Baleni,
// which is 1 when missing or not above 0. Texts are code page 1250, right-trimmed.
struct TPriceListItem {
  std::string Kod;
  std::string Nazev;
  // Nazev with the diacritics removed and the ASCII letters upper-cased: what the search
  // compares with and the name sort orders by.
  std::string SearchName;
  double Cena = 0;
  double CenaSDPH = 0;
  double Baleni = 1;
  int VeVrstve = 0;
  int NaPalete = 0;
  double SazbaDPH = 0;
  std::string Jednotka;
  int TYPKARTY = 0;
  std::string EAN;
  std::string SKUPINA1;
  std::string SKUPINA2;
  std::string SKUPINA3;
  std::string NSKUPINA2;
  std::string POPISSKP1;
  std::string POPISSKP2;
  std::string POPISSKP3;
  std::string OBRAZEK;
  double HMOTNOST = 0;
  int ZARUKA = 0;
  std::string KODLAHEV;
  double CENALAHEV = 0;
  double SAZBALAHEV = 0;
  std::string KODPREPR;
  double CENAPREPR = 0;
  double SAZBAPREPR = 0;
  TDateTime DATUMZMENY = 0;
  double ZASOBA = 0;
  std::string POZNAMKA;
  std::string CISLOSHODA;
  std::string SKLMJ;
  double NAKUPCENA = 0;
  std::string DOSTUPNOST;
  std::string KLICSLOVA;
  std::string DODAVATEL;
  std::string VYROBCE;
  int PRIZNAKY = 0;
  double OBJPOCETB = 0;
  double DopCena = 0;
  double DopCenaDPH = 0;

  // Run-time state: the card passes the current filter / belongs to the current group subset.
  bool Visible = true;
  bool InSubset = true;
  TColorValue SpecialColor = kNoSpecialColor;
};
