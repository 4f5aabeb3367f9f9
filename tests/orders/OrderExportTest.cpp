#include <gtest/gtest.h>

#include "catalogue/PriceListItem.h"
#include "core/AppSettingsFields.h"
#include "core/Errors.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"
#include "orders/OrderExport.h"
#include "support/TestSupport.h"
#include "ui/Columns.h"

namespace {

class OrderExportTest : public ::testing::Test {
protected:
  OrderExportTest() : Settings(DefaultAppSettings(TSettingsEnvironment{}, nullptr)) {
    TCompanySettings& c = Settings.Company;
    c.Name1 = Cz("Pivnice U Tří");
    c.Address = Cz("Hlavní 1");
    c.City = "Brno";
    c.PSC = "602 00";
    c.DIC = "CZ123";
    c.ICO = "123";
    c.RespPerson = Cz("Jan Novák");
    c.EMail = "a@b.cz";
    c.ContactEmail = "kontakt@b.cz"; // never exported

    Wine.Kod = "A1";
    Wine.Nazev = Cz("Víno \"Bílé\", suché");
    Wine.Cena = 10;
    Wine.CenaSDPH = 12.1;
    Wine.Baleni = 6;
    Wine.SazbaDPH = 21;
    Wine.Jednotka = "ks";
    Wine.EAN = "8590001";
    Wine.CENALAHEV = 3;
    Wine.CENAPREPR = 100;
    Wine.CISLOSHODA = "x'y";

    Order.Created = EncodeDate(2025, 3, 14) + 0.4375;
    Order.Changed = EncodeDate(2025, 3, 15);
    Order.DeliveryDate = EncodeDate(2025, 3, 17);
    TOrderItem wine;
    wine.Code = "A1";
    wine.Card = &Wine;
    wine.Quantity = 1.5;
    wine.Packages = 2;
    Order.Append(wine);
    TOrderItem gone; // its card left the price list
    gone.Code = "Z9";
    gone.Quantity = 3;
    Order.Append(gone);

    // Kód, Název under its own header, a blank column, a column that is never exported,
    // Objednáno, Cena+DPH, %DPH.
    for (int id : {2, 3, -1, 24, 0, 5, 9})
      Columns.Columns.push_back(id < 0 ? TdgColumn{} : DefaultColumn(id));
    Columns.Columns[1].Header = Cz("Zboží");

    Env.Settings = &Settings;
    Env.OrderColumns = &Columns;
    Env.Cells.Conventions = &Czech;
  }

  std::string Text(char delimiter, const std::string& decimalSeparator) {
    return Cp1250ToUtf8(ExportText(Order, delimiter, decimalSeparator, Env));
  }

  TAppSettings Settings;
  TPriceListItem Wine;
  TOrder Order;
  TColumnList Columns;
  Locale Czech = Locale::Czech();
  TExportEnvironment Env;
};

TEST_F(OrderExportTest, DefaultSettingsWriteDatesCompanyAndTheGridsColumns) {
  EXPECT_EQ(Text(',', "."), "Vytvořeno,14.03.2025\r\n"
                            "Datum dodávky,17.03.2025\r\n"
                            "Max.datum dodávky,\r\n"
                            "\r\n"
                            "Jméno/Název,Pivnice U Tří\r\n"
                            "Jméno/Název2,\r\n"
                            "Adresa,Hlavní 1\r\n"
                            "Město,Brno\r\n"
                            "PSČ,602 00\r\n"
                            "DIČ,CZ123\r\n"
                            "IČO,123\r\n"
                            "Zodpovědná osoba,Jan Novák\r\n"
                            "Telefon,\r\n"
                            "Fax,\r\n"
                            "Mobil,\r\n"
                            "Email,a@b.cz\r\n"
                            "\r\n"
                            "Kód,Zboží,Objednáno,Cena+DPH,%DPH\r\n"
                            "A1,Víno \"Bílé\", suché,1.5,12.10,21%\r\n"
                            "Z9,,3,,\r\n");
}

TEST_F(OrderExportTest, AllColumnsModeCleansTheCells) {
  Settings.Export.ExportColumnsInView = false;
  Settings.Export.ExportOrderData = false;
  Settings.Export.ExportCompanyData = false;
  EXPECT_EQ(Text('\t', "."),
            "Objednáno\tObj.balení\tKód\tNázev\tCena\tCena+DPH\tBalení\t%DPH\tMJ\tEAN\tSkupina1\tSkupina2\tSkupina3\t"
            "Cena-láhev\tCena-přepr.\tČíslo shoda\r\n"
            "1.5\t2\tA1\tVíno `Bílé`, suché\t10.00\t12.10\t6\t21%\tks\t8590001\t\t\t\t3.00\t100.00\tx`y\r\n"
            "3\t\tZ9\t\t\t\t\t\t\t\t\t\t\t\t\t\r\n");
  // The delimiter inside a cell becomes "."; an empty separator keeps the user's comma.
  const std::string comma = Text(',', "");
  EXPECT_NE(comma.find("\r\n1.5,2,A1,Víno `Bílé`. suché,10.00,"), std::string::npos) << comma;
  EXPECT_NE(Text('\t', "").find("\r\n1,5\t2\tA1\t"), std::string::npos);
}

TEST_F(OrderExportTest, LabelsAndSwitches) {
  Settings.Export.General_Created = "*";
  Settings.Export.General_Sent = Cz("Odesláno");
  Settings.Export.Company_Name = "*"; // takes the second name's line with it
  Settings.Export.Company_Address = "*";
  Settings.Export.Company_City = "*";
  Settings.Export.Company_PostalCode = "*";
  Settings.Export.Company_DIC = "*";
  Settings.Export.Company_ICO = "*";
  Settings.Export.Company_RespPerson = "*";
  Settings.Export.Company_Phone = "*";
  Settings.Export.Company_Fax = "*";
  Settings.Export.Company_Mobile = "*";
  Order.Sent = EncodeDate(2001, 1, 1); // not later than 1.1.2001: written empty
  EXPECT_EQ(Text(';', "."), "Datum dodávky;17.03.2025\r\n"
                            "Max.datum dodávky;\r\n"
                            "Odesláno;\r\n"
                            "\r\n"
                            "Email;a@b.cz\r\n"
                            "\r\n"
                            "Kód;Zboží;Objednáno;Cena+DPH;%DPH\r\n"
                            "A1;Víno \"Bílé\", suché;1.5;12.10;21%\r\n"
                            "Z9;;3;;\r\n");
  Settings.Export.ExportOrderData = false;
  EXPECT_EQ(Text(';', ".").substr(0, 16), "\r\nEmail;a@b.cz\r\n");
}

TEST_F(OrderExportTest, FormatsOfTheFileTypes) {
  Settings.Export.XLS_Delimiter = 59;
  Settings.Export.XLS_DecimalSeparator = "";
  EXPECT_EQ(ExportFormatFor(Settings, 2).Delimiter, ',');
  EXPECT_EQ(ExportFormatFor(Settings, 2).DecimalSeparator, ".");
  EXPECT_EQ(ExportFormatFor(Settings, 4).Delimiter, ';');
  EXPECT_EQ(ExportFormatFor(Settings, 4).DecimalSeparator, "");
}

TEST_F(OrderExportTest, TheFileReplacesAnEarlierOneAndTheOrderStaysAsItWas) {
  TempDir dir;
  const std::string path = dir.File("obj.txt");
  WriteFileBytes(path, "old contents that are longer than nothing");
  Order.FileName = "obj.obx";
  Export(Order, path, ',', ".", Env);
  EXPECT_EQ(ReadFileBytes(path), ExportText(Order, ',', ".", Env));
  EXPECT_EQ(Order.FileName, "obj.obx");
  EXPECT_FALSE(Order.Modified);
  // Nothing is left beside the file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  EXPECT_THROW(Export(Order, dir.File("missing/obj.txt"), ',', ".", Env), EInOutError);
}

} // namespace
