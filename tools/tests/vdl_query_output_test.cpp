// vdl-query with a statement on its command line: the results in each
// format, the column types that the driver guesses from the files, and the
// files the program leaves behind (none).

#include <fstream>
#include <iterator>

#include "vdl_query_test_support.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::vdlquery::testing {
namespace {

using OutputTest = VdlQueryTest;

struct FormatCase {
  const char* format;
  const char* expected;
};

TEST_F(OutputTest, FirstDemonstrationExampleFromTwoCsvFilesInEveryFormat) {
  WriteExampleInputs();
  const FormatCase cases[] = {
      {"table",
       "PRODUCT       SUPPLIER  COUNTRY\n"
       "------------  --------  -------\n"
       "Wheels        WHL       Spain\n"
       "Battery       BTR       Canada\n"
       "Seats         SES       USA\n"
       "SRS           SES       USA\n"
       "Carpet        CRT       UK\n"
       "Windshield    CRT       UK\n"
       "Radio         RDO       Holland\n"
       "Tyres         TRS       Germany\n"
       "Alloy Wheels\n"},
      {"tsv",
       "PRODUCT\tSUPPLIER\tCOUNTRY\nWheels\tWHL\tSpain\nBattery\tBTR\tCanada\nSeats\tSES\tUSA\nSRS\tSES\tUSA\n"
       "Carpet\tCRT\tUK\nWindshield\tCRT\tUK\nRadio\tRDO\tHolland\nTyres\tTRS\tGermany\nAlloy Wheels\t\t\n"},
      {"csv",
       "PRODUCT,SUPPLIER,COUNTRY\nWheels,WHL,Spain\nBattery,BTR,Canada\nSeats,SES,USA\nSRS,SES,USA\nCarpet,CRT,UK\n"
       "Windshield,CRT,UK\nRadio,RDO,Holland\nTyres,TRS,Germany\nAlloy Wheels,,\n"},
      {"json",
       "{\"columns\":[{\"name\":\"PRODUCT\",\"type\":202,\"typeName\":\"Text\"},{\"name\":\"SUPPLIER\",\"type\":202,\"typeName\":\"Text\"},{\"name\":\"COUNTRY\","
       "\"type\":202,\"typeName\":\"Text\"}],\"rows\":[[\"Wheels\",\"WHL\",\"Spain\"],[\"Battery\",\"BTR\",\"Canada\"],[\"Seats\",\"SES\","
       "\"USA\"],[\"SRS\",\"SES\",\"USA\"],[\"Carpet\",\"CRT\",\"UK\"],[\"Windshield\",\"CRT\",\"UK\"],[\"Radio\","
       "\"RDO\",\"Holland\"],[\"Tyres\",\"TRS\",\"Germany\"],[\"Alloy Wheels\",null,null]]}\n"},
      {"ndjson",
       "{\"PRODUCT\":\"Wheels\",\"SUPPLIER\":\"WHL\",\"COUNTRY\":\"Spain\"}\n"
       "{\"PRODUCT\":\"Battery\",\"SUPPLIER\":\"BTR\",\"COUNTRY\":\"Canada\"}\n"
       "{\"PRODUCT\":\"Seats\",\"SUPPLIER\":\"SES\",\"COUNTRY\":\"USA\"}\n"
       "{\"PRODUCT\":\"SRS\",\"SUPPLIER\":\"SES\",\"COUNTRY\":\"USA\"}\n"
       "{\"PRODUCT\":\"Carpet\",\"SUPPLIER\":\"CRT\",\"COUNTRY\":\"UK\"}\n"
       "{\"PRODUCT\":\"Windshield\",\"SUPPLIER\":\"CRT\",\"COUNTRY\":\"UK\"}\n"
       "{\"PRODUCT\":\"Radio\",\"SUPPLIER\":\"RDO\",\"COUNTRY\":\"Holland\"}\n"
       "{\"PRODUCT\":\"Tyres\",\"SUPPLIER\":\"TRS\",\"COUNTRY\":\"Germany\"}\n"
       "{\"PRODUCT\":\"Alloy Wheels\",\"SUPPLIER\":null,\"COUNTRY\":null}\n"},
      {"markdown",
       "| PRODUCT      | SUPPLIER | COUNTRY |\n"
       "|--------------|----------|---------|\n"
       "| Wheels       | WHL      | Spain   |\n"
       "| Battery      | BTR      | Canada  |\n"
       "| Seats        | SES      | USA     |\n"
       "| SRS          | SES      | USA     |\n"
       "| Carpet       | CRT      | UK      |\n"
       "| Windshield   | CRT      | UK      |\n"
       "| Radio        | RDO      | Holland |\n"
       "| Tyres        | TRS      | Germany |\n"
       "| Alloy Wheels |          |         |\n"},
      {"box",
       "┌──────────────┬──────────┬─────────┐\n"
       "│ PRODUCT      │ SUPPLIER │ COUNTRY │\n"
       "├──────────────┼──────────┼─────────┤\n"
       "│ Wheels       │ WHL      │ Spain   │\n"
       "│ Battery      │ BTR      │ Canada  │\n"
       "│ Seats        │ SES      │ USA     │\n"
       "│ SRS          │ SES      │ USA     │\n"
       "│ Carpet       │ CRT      │ UK      │\n"
       "│ Windshield   │ CRT      │ UK      │\n"
       "│ Radio        │ RDO      │ Holland │\n"
       "│ Tyres        │ TRS      │ Germany │\n"
       "│ Alloy Wheels │          │         │\n"
       "└──────────────┴──────────┴─────────┘\n"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.format);
    const RunResult r = Run(ExampleArguments(c.format));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(c.expected, r.out);
    EXPECT_EQ("", r.err);
  }
  EXPECT_TRUE(TempFolderContents().empty());
  EXPECT_EQ((std::vector<std::string>{"a.csv", "b.csv", "tmp"}), FolderContents("."));
}

TEST_F(OutputTest, WithoutFormatOutputThatIsNotATerminalIsTabSeparated) {
  WriteExampleInputs();
  std::vector<std::string> arguments = ExampleArguments("tsv");
  const RunResult tsv = Run(arguments);
  arguments.erase(arguments.begin() + 4, arguments.begin() + 6);
  const RunResult plain = Run(arguments);
  EXPECT_EQ(0, plain.status) << plain.err;
  EXPECT_EQ(tsv.out, plain.out);
}

TEST_F(OutputTest, ColumnTypesAreGuessedFromEveryValueAndEmptyFieldsAreNull) {
  // Row 3 makes Big outgrow 32 bits and Mixed a text column. "" is the
  // empty text, an empty field Null; the query keeps them apart.
  WriteFile("t.csv",
            "Id,Big,Amount,Day,Paid,Code,Mixed,Note\n"
            "1,7,2.5,2003-01-02,True,007,12,\"a, b\"\n"
            "2,,-0.125,1/2/2003 13:04:05,False,010,x,\"\"\n"
            "3,12345678901,1E3,,True,,4,\n");
  const RunResult r = Run({"-i", "t=t.csv", "-f", "json", "SELECT * FROM t"});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ(
      "{\"columns\":[{\"name\":\"Id\",\"type\":3,\"typeName\":\"Long\"},{\"name\":\"Big\",\"type\":20,\"typeName\":\"BigInt\"},{\"name\":\"Amount\",\"type\":5,\"typeName\":\"Double\"},"
      "{\"name\":\"Day\",\"type\":7,\"typeName\":\"DateTime\"},{\"name\":\"Paid\",\"type\":11,\"typeName\":\"Boolean\"},{\"name\":\"Code\",\"type\":202,\"typeName\":\"Text\"},"
      "{\"name\":\"Mixed\",\"type\":202,\"typeName\":\"Text\"},{\"name\":\"Note\",\"type\":202,\"typeName\":\"Text\"}],\"rows\":["
      "[1,7,2.5,\"2003-01-02T00:00:00\",true,\"007\",\"12\",\"a, b\"],"
      "[2,null,-0.125,\"2003-01-02T13:04:05\",false,\"010\",\"x\",\"\"],"
      "[3,12345678901,1000,null,true,null,\"4\",null]]}\n",
      r.out);
}

// Aliases, a self-join, subqueries, a derived table and a column named as
// its input all reach the driver as written.
TEST_F(OutputTest, InputNamesAreReplacedOnlyAsTablesAndQualifiers) {
  WriteFile("o.csv", "OrderID,CustomerID,Freight\n1,ALF,10\n2,BON,30\n3,ALF,50\n");
  WriteFile("tag.csv", "Tag\nred\nblue\n");
  struct Case {
    const char* sql;
    const char* out;
  };
  for (const Case& c : {
           Case{"SELECT o.OrderID FROM rsO AS o WHERE o.Freight > 20", "2\n3\n"},
           Case{"SELECT o.OrderID FROM rsO o WHERE o.CustomerID = 'BON'", "2\n"},
           Case{"SELECT a.OrderID, b.OrderID FROM rsO AS a INNER JOIN rsO AS b ON a.CustomerID = b.CustomerID "
                "WHERE a.OrderID < b.OrderID",
                "1\t3\n"},
           Case{"SELECT OrderID FROM rsO WHERE Freight > (SELECT AVG(Freight) FROM rsO)", "3\n"},
           Case{"SELECT COUNT(*) FROM (SELECT DISTINCT CustomerID FROM rsO) AS t", "2\n"},
           Case{"SELECT Tag.Tag FROM Tag WHERE Tag.Tag <> 'Tag' ORDER BY Tag", "blue\nred\n"},
           Case{"SELECT [Select].Tag FROM [Select] WHERE [Select].Tag = 'red'", "red\n"},
           Case{"SELECT rsO.CustomerID FROM rsO, txt WHERE txt.OrderID = rsO.OrderID AND txt.OrderID = 2", "BON\n"},
       }) {
    const RunResult r = Run({"-i", "rsO=o.csv", "-i", "Tag=tag.csv", "-i", "Select=tag.csv", "-i", "txt=o.csv", "-f",
                             "tsv", c.sql});
    ASSERT_EQ(0, r.status) << c.sql << "\n" << r.err;
    const size_t header = r.out.find('\n');
    EXPECT_EQ(r.out.substr(header + 1), c.out) << c.sql;
  }
}

TEST_F(OutputTest, TabSeparatedFilesAreReadAsTabSeparatedWithoutWritingBesideThem) {
  for (const char* name : {"t.tsv", "t.tab", "t.txt", "T.TSV"}) {
    SCOPED_TRACE(name);
    WriteFile(std::string("in/") + name, "A\tB,C\n1\tx, y\n2\t\"q\"\n");
    const RunResult r = Run({"-i", std::string("t=in/") + name, "-f", "json", "SELECT * FROM t"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(
        "{\"columns\":[{\"name\":\"A\",\"type\":3,\"typeName\":\"Long\"},{\"name\":\"B,C\",\"type\":202,\"typeName\":\"Text\"}],\"rows\":[[1,\"x, y\"],[2,\"q\"]]}\n",
        r.out);
    EXPECT_EQ(std::vector<std::string>{name}, FolderContents("in"));
    fs::DeleteFile(Path(std::string("in/") + name));
  }
  EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(OutputTest, SchemaIniBesideTheFileDecidesFormatAndTypes) {
  WriteFile("in/codes.txt", "Code;Amount\n007;12\n010;3\n");
  WriteFile("in/schema.ini",
            "[codes.txt]\nFormat=Delimited(;)\nColNameHeader=True\nCol1=Code Text\nCol2=Amount Currency\n");
  const RunResult r = Run({"-i", "c=in/codes.txt", "-f", "json", "SELECT * FROM c"});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ(
      "{\"columns\":[{\"name\":\"Code\",\"type\":202,\"typeName\":\"Text\"},{\"name\":\"Amount\",\"type\":6,\"typeName\":\"Currency\"}],\"rows\":[[\"007\",12],[\"010\","
      "3]]}\n",
      r.out);
}

TEST_F(OutputTest, JsonNumbersDatesAndTextFollowTheirTypes) {
  WriteFile("n.csv", "N\n1\n");
  const RunResult r = Run(
      {"-i", "n=n.csv", "-f", "json",
       "SELECT CCur(1.23456) AS C, CCur(-0.0009) AS C2, 0.1+0.2 AS D, CDbl(1E+300) AS Huge, CSng(0.1) AS S, "
       "CInt(-7) AS I, CByte(200) AS B, #12/31/1999 23:59:59# AS T, 1=1 AS Yes, 'q\"\\' & Chr(1) & Chr(9) & "
       "Chr(10) & 'é日' AS X, Null AS Z FROM n"});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ(
      "{\"columns\":[{\"name\":\"C\",\"type\":6,\"typeName\":\"Currency\"},{\"name\":\"C2\",\"type\":6,\"typeName\":\"Currency\"},{\"name\":\"D\",\"type\":5,\"typeName\":\"Double\"},"
      "{\"name\":\"Huge\",\"type\":5,\"typeName\":\"Double\"},{\"name\":\"S\",\"type\":4,\"typeName\":\"Single\"},{\"name\":\"I\",\"type\":2,\"typeName\":\"Short\"},{\"name\":\"B\","
      "\"type\":17,\"typeName\":\"Byte\"},{\"name\":\"T\",\"type\":7,\"typeName\":\"DateTime\"},{\"name\":\"Yes\",\"type\":11,\"typeName\":\"Boolean\"},{\"name\":\"X\",\"type\":202,\"typeName\":\"Text\"},"
      "{\"name\":\"Z\",\"type\":202,\"typeName\":\"Text\"}],\"rows\":[[1.2346,-0.0009,0.30000000000000004,1E+300,0.1,-7,200,"
      "\"1999-12-31T23:59:59\",true,\"q\\\"\\\\\\u0001\\t\\né日\",null]]}\n",
      r.out);
}

TEST_F(OutputTest, TextThatIsNotUtf8BecomesReplacementCharactersInJsonAndTable) {
  WriteFile("l.csv", "Name\ncaf\xE9\n");  // Latin-1, not UTF-8
  const RunResult json = Run({"-i", "l=l.csv", "-f", "json", "SELECT * FROM l"});
  ASSERT_EQ(0, json.status) << json.err;
  EXPECT_EQ("{\"columns\":[{\"name\":\"Name\",\"type\":202,\"typeName\":\"Text\"}],\"rows\":[[\"caf\xEF\xBF\xBD\"]]}\n", json.out);
  const RunResult table = Run({"-i", "l=l.csv", "-f", "table", "SELECT * FROM l"});
  EXPECT_EQ("Name\n----\ncaf\xEF\xBF\xBD\n", table.out);
  const RunResult tsv = Run({"-i", "l=l.csv", "-f", "tsv", "SELECT * FROM l"});
  EXPECT_EQ("Name\ncaf\xE9\n", tsv.out);  // data formats keep the bytes
}

TEST_F(OutputTest, TableAlignsByDisplayWidthNumbersRightAndShowsControlCharactersAsEscapes) {
  WriteFile("w.csv", "Name,Qty\n日本,5\nab,123\n\"two\nlines\",7\n");
  const RunResult r = Run({"-i", "w=w.csv", "-f", "table", "SELECT Name, Qty, Qty*1.5 AS Half FROM w"});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ(
      "Name        Qty   Half\n"
      "----------  ---  -----\n"
      "日本          5    7.5\n"
      "ab          123  184.5\n"
      "two\\nlines    7   10.5\n",
      r.out);
}

TEST_F(OutputTest, TsvEscapesAndCsvQuotesWhereNeeded) {
  WriteFile("s.csv", "K,Text\n1,\"a,b\"\n2,\n3,\n4,\"x\ny\"\n5,back\\slash\n");
  const RunResult tsv = Run({"-i", "s=s.csv", "-f", "tsv", "SELECT K, Text, Chr(9) AS Tab FROM s"});
  ASSERT_EQ(0, tsv.status) << tsv.err;
  EXPECT_EQ("K\tText\tTab\n1\ta,b\t\\t\n2\t\t\\t\n3\t\t\\t\n4\tx\\ny\t\\t\n5\tback\\\\slash\t\\t\n", tsv.out);
  const RunResult csv = Run({"-i", "s=s.csv", "-f", "csv", "SELECT K, IIf(K=2, '', Text) AS Text FROM s"});
  ASSERT_EQ(0, csv.status) << csv.err;
  EXPECT_EQ("K,Text\n1,\"a,b\"\n2,\"\"\n3,\n4,\"x\ny\"\n5,back\\slash\n", csv.out);
}

TEST_F(OutputTest, CsvOutputReadsBackAsTheSameValuesNullsAndTypes) {
  WriteFile("in.csv",
            "Id,Price,Day,Ok,Name\n1,2.75,2003-01-02 13:04:05,True,\"a, \"\"b\"\"\"\n2,,2004-02-29,False,\"\"\n"
            "3,0.1,,True,\n");
  const std::string sql = "SELECT Id, Price, Day, Ok, Name, Price/3 AS Third FROM t";
  const RunResult first = Run({"-i", "t=in.csv", "-f", "csv", sql});
  ASSERT_EQ(0, first.status) << first.err;
  WriteFile("again.csv", first.out);
  const RunResult json1 = Run({"-i", "t=in.csv", "-f", "json", "SELECT *, Price/3 AS Third FROM t"});
  const RunResult json2 = Run({"-i", "t=again.csv", "-f", "json", "SELECT * FROM t"});
  ASSERT_EQ(0, json2.status) << json2.err;
  EXPECT_EQ(json1.out, json2.out);
}

TEST_F(OutputTest, MarkdownEscapesPipesAndAlignsNumbersRight) {
  WriteFile("m.csv", "Name,N\nx|y,12\nz,3\n");
  const RunResult r = Run({"-i", "m=m.csv", "-f", "markdown", "SELECT Name, N FROM m"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("| Name |   N |\n|------|----:|\n| x\\|y |  12 |\n| z    |   3 |\n", r.out);
}

TEST_F(OutputTest, StandardInputAndFilesOfAnyNameInTheFormatTheOptionsGive) {
  WriteFile("export.dat", "A\tB\n1\tx,y\n");
  WriteFile("data", "1,2\n3,4\n");
  WriteFile("plain.csv", "1,2\n3,4\n");
  WriteFile("semi.txt", "A,B\n1,2\n");  // .txt is tab-separated unless the option says otherwise
  struct InputCase {
    std::vector<std::string> arguments;
    std::string input;
    std::string expected;
  };
  const InputCase cases[] = {
      {{"-i", "t=-"}, "A,B\n1,x\n2,y\n", "A,B\n1,x\n2,y\n"},
      {{"-t", "tsv", "-i", "t=-"}, "A\tB\n1\tx,y\n", "A,B\n1,\"x,y\"\n"},
      {{"-i", "t=export.dat", "--input-format=tsv"}, "", "A,B\n1,\"x,y\"\n"},
      {{"--no-header", "-t", "csv", "-i", "t=data"}, "", "F1,F2\n1,2\n3,4\n"},
      {{"--no-header", "-i", "t=plain.csv"}, "", "F1,F2\n1,2\n3,4\n"},
      {{"--no-header", "-i", "t=-"}, "5,6\n", "F1,F2\n5,6\n"},
      {{"-i", "t=semi.txt", "-t", "csv"}, "", "A,B\n1,2\n"},
      {{"-t", "csv", "-i", "t=/dev/stdin"}, "A,B\n1,x\n", "A,B\n1,x\n"},  // a pipe by name, copied first
  };
  for (const InputCase& c : cases) {
    SCOPED_TRACE(c.arguments.front() + " " + c.arguments[1]);
    std::vector<std::string> arguments = c.arguments;
    for (const char* a : {"-f", "csv", "SELECT * FROM t"}) arguments.push_back(a);
    const RunResult r = Run(arguments, c.input);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(c.expected, r.out);
    EXPECT_EQ("", r.err);
  }
  // Numbers from standard input are typed as from a file.
  const RunResult typed = Run({"-i", "t=-", "-f", "json", "SELECT MAX(N) AS M FROM t"}, "N\n1\n2\n");
  EXPECT_EQ("{\"columns\":[{\"name\":\"M\",\"type\":3,\"typeName\":\"Long\"}],\"rows\":[[2]]}\n", typed.out);
  EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(OutputTest, ColumnReadAsTextBecauseOfAFewOtherValuesGetsANoteNamingTheFirstLine) {
  std::string amounts = "Id,Amount,Day,Note\n";
  for (int i = 1; i <= 40; ++i) {
    const bool odd = i == 25;
    amounts += std::to_string(i) + "," + (odd ? "N/A" : std::to_string(i) + ".5") + "," +
               (i == 31 ? "soon" : "2024-01-" + std::to_string(10 + i % 18)) + "," +
               (i == 3 ? "\"two\nlines\"" : "n" + std::to_string(i)) + "\n";
  }
  WriteFile("amounts.csv", amounts);
  const RunResult r = Run({"-i", "t=amounts.csv", "-f", "csv", "SELECT COUNT(*) AS N FROM t"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("N\n40\n", r.out);
  // Data line 25 is file line 27: the header, and a value over two lines before it.
  EXPECT_EQ(
      "vdl-query: note: column 'Amount' of 'amounts.csv' is read as Text because 1 of its 40 values is not a number; "
      "the first is 'N/A' on line 27\n"
      "vdl-query: note: column 'Day' of 'amounts.csv' is read as Text because 1 of its 40 values is not a date; the "
      "first is 'soon' on line 33\n",
      r.err);

  // Dates of both orders in one column make it Text, with the value that the
  // regional order cannot read; a column read day first says so too.
  WriteFile("m.csv", "d,n\n13/1/2003,1\n1/13/2003,2\n2/3/2003,3\n");
  WriteFile("e.csv", "d\n2/3/2003\n13/1/2003\n");
  const RunResult orders = Run({"-i", "m=m.csv", "-i", "e=e.csv", "-f", "csv", "SELECT m.d, e.d FROM m, e WHERE m.n = 1"});
  EXPECT_EQ(0, orders.status) << orders.err;
  EXPECT_EQ("m.d,e.d\n13/1/2003,2003-03-02\n13/1/2003,2003-01-13\n", orders.out);
  EXPECT_EQ(
      "vdl-query: note: column 'd' of 'm.csv' is read as Text because its values are dates written in both orders, "
      "some only month first and some only day first; the first that does not read month first is '13/1/2003' on "
      "line 2\n"
      "vdl-query: note: column 'd' of 'e.csv' is read as DateTime with the day first: '13/1/2003' on line 3 does not "
      "read month first\n",
      orders.err);

  // Declared types, and columns that are text through and through, get none.
  WriteFile("typed/amounts.csv", amounts);
  WriteFile("typed/schema.ini", "[amounts.csv]\nColNameHeader=True\nFormat=CSVDelimited\nCol1=Id Long\nCol2=Amount Text\n"
                                "Col3=Day Text\nCol4=Note Text\n");
  WriteFile("words.csv", "W\nabc\n12\ndef\n");
  for (const char* input : {"t=typed/amounts.csv", "t=words.csv"}) {
    const RunResult quiet = Run({"-i", input, "SELECT COUNT(*) AS N FROM t"});
    EXPECT_EQ(0, quiet.status) << quiet.err;
    EXPECT_EQ("", quiet.err) << input;
  }
}

// Files of CR line ends, and a last line that ends in a lone CR.
TEST_F(OutputTest, LinesEndedByCarriageReturnsAloneAreLines) {
  WriteFile("cr.csv", "City,N\rOslo,1\rRome,2\r");
  WriteFile("last.csv", "City,N\nOslo,1\nRome,2\r");
  for (const char* input : {"t=cr.csv", "t=last.csv"}) {
    SCOPED_TRACE(input);
    const RunResult r = Run({"-i", input, "-f", "json", "SELECT * FROM t"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("{\"columns\":[{\"name\":\"City\",\"type\":202,\"typeName\":\"Text\"},{\"name\":\"N\",\"type\":3,"
              "\"typeName\":\"Long\"}],\"rows\":[[\"Oslo\",1],[\"Rome\",2]]}\n",
              r.out);
  }
}

TEST_F(OutputTest, NumbersBeyondTheRangeOfADoubleStayTextWithANote) {
  // Each once read as 0 in a column guessed as Double.
  for (const char* beyond : {"1e400", "-2e999", "1.5e309"}) {
    WriteFile("n.csv", std::string("A\n") + beyond + "\n2\n");
    const RunResult r = Run({"-i", "t=n.csv", "-f", "json", "SELECT t.A FROM t"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(std::string("{\"columns\":[{\"name\":\"A\",\"type\":202,\"typeName\":\"Text\"}],\"rows\":[[\"") +
                  beyond + "\"],[\"2\"]]}\n",
              r.out);
    EXPECT_EQ(std::string("vdl-query: note: column 'A' of 'n.csv' is read as Text because 1 of its 2 values is not a "
                          "number that a Double holds; the first is '") +
                  beyond + "' on line 2, beyond the range of a Double\n",
              r.err);
  }
  EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(OutputTest, StatementOverSeveralLinesWithFinalSemicolonRuns) {
  WriteExampleInputs();
  const RunResult r = Run({"-i", "rs1=a.csv", "-f", "csv",
                           "SELECT rs1.PRODUCT\nFROM rs1\n\tWHERE rs1.SUPPLIER = 'CRT'\nORDER BY rs1.PRODUCT;\n"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("PRODUCT\nCarpet\nWindshield\n", r.out);
}

TEST_F(OutputTest, EmptyResultPrintsItsHeader) {
  WriteExampleInputs();
  const FormatCase cases[] = {
      {"table", "PRODUCT\n-------\n"},
      {"tsv", "PRODUCT\n"},
      {"csv", "PRODUCT\n"},
      {"json", "{\"columns\":[{\"name\":\"PRODUCT\",\"type\":202,\"typeName\":\"Text\"}],\"rows\":[]}\n"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.format);
    const RunResult r = Run({"-i", "rs1=a.csv", "-f", c.format, "SELECT PRODUCT FROM rs1 WHERE 1=0"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(c.expected, r.out);
  }
}

TEST_F(OutputTest, CsvValuesComeBackExactly) {
  // A comma, a doubled quote and a line break inside one quoted value.
  WriteFile("v.csv", "A,B\r\n\"x, \"\"y\"\"\r\nz\",1\r\n\"\",2\r\n\"\ttab\",3\r\n");
  const RunResult r = Run({"-i", "v=v.csv", "-f", "json", "SELECT A, B FROM v"});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ("{\"columns\":[{\"name\":\"A\",\"type\":202,\"typeName\":\"Text\"},"
            "{\"name\":\"B\",\"type\":3,\"typeName\":\"Long\"}],\"rows\":["
            "[\"x, \\\"y\\\"\\r\\nz\",1],[\"\",2],[\"\\ttab\",3]]}\n",
            r.out);
}

TEST_F(OutputTest, AltQuoteReplacesDoubleQuotesOfTextValuesHandedToTheQuery) {
  WriteFile("q.tsv", "A\nsay \"hi\"\n");
  const RunResult plain = Run({"-i", "q=q.tsv", "-f", "tsv", "SELECT A FROM q"});
  EXPECT_EQ("A\nsay \"hi\"\n", plain.out);
  const RunResult alt = Run({"--alt-quote", "'", "-i", "q=q.tsv", "-f", "tsv", "SELECT A FROM q"});
  EXPECT_EQ("A\nsay 'hi'\n", alt.out);
}

TEST_F(OutputTest, TempFolderHoldsTheQueryFoldersAndIsLeftEmpty) {
  WriteExampleInputs();
  fs::CreateFolder(Path("work"));
  const RunResult r = Run({"--temp-folder", Path("work"), "-i", "rs1=a.csv", "-f", "tsv", "SELECT COUNT(*) AS N FROM rs1"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("N\n9\n", r.out);
  EXPECT_TRUE(FolderContents("work").empty());
  EXPECT_TRUE(TempFolderContents().empty());
}

// The words of a command line as the shell reads them: "quoted" parts keep
// their spaces, a "\" at the end of a line goes on in the next.
std::vector<std::string> ShellWords(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, inWord = false;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && c == '\\' && i + 1 < command.size() && command[i + 1] == '\n') {
      ++i;
    } else if (!quoted && (c == ' ' || c == '\n')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

TEST_F(OutputTest, ReadmeExampleRunsAsWritten) {
  std::ifstream readme(VDL_README);
  const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
  const size_t section = text.find("## Querying text files from the command line");
  ASSERT_NE(std::string::npos, section);
  const size_t start = text.find("vdl-query -i", section);
  size_t end = start;
  while (end < text.size() && !(text[end] == '\n' && text[end - 1] != '\\')) ++end;
  std::vector<std::string> words = ShellWords(text.substr(start, end - start));
  ASSERT_GE(words.size(), 2u);
  words.erase(words.begin());  // the program's name

  WriteFile("products.csv", "PRODUCT,SUPPLIER\nWheels,WHL\nAlloy Wheels,ALS\n");
  WriteFile("suppliers.csv", "SUPPLIER,COUNTRY\nWHL,Spain\n");
  const RunResult r = Run(words);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("PRODUCT,COUNTRY\nWheels,Spain\nAlloy Wheels,\n", r.out);
}

}  // namespace
}  // namespace vendrel::vdlquery::testing
