#include "query_run.h"

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::engine {
namespace {

TEST(TextConnectionString, NamesTheQueryFolderForTheTextDriver) {
  EXPECT_EQ(TextConnectionString("/tmp/VDL80512271"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/tmp/VDL80512271;"
            "Extended Properties=\"text;HDR=Yes;FMT=Delimited;\";");
}

TEST(TextConnectionString, AFolderThatWouldBeMisreadIsQuotedAndReadsBackWhole) {
  for (const std::string folder :
       {"/tmp/a;Data Source=/etc/VDL1", "/tmp/x \"q\"/VDL2", "\"/tmp/VDL3", "{/tmp}/VDL4", " /tmp/VDL5", "/tmp/VDL6 "}) {
    const std::string text = TextConnectionString(folder);
    EXPECT_EQ(ConnectionString::Parse(text).Get("Data Source"), folder) << text;
    EXPECT_EQ(ConnectionString::Parse(text).Get("Extended Properties"), "text;HDR=Yes;FMT=Delimited;");
  }
}

struct TranslationCase {
  const char* what;
  const char* driverText;
  const char* description;
};

void PrintTo(const TranslationCase& c, std::ostream* os) { *os << c.what; }

class DriverErrorCases : public ::testing::TestWithParam<TranslationCase> {};

TEST_P(DriverErrorCases, BecomeError1007) {
  const Error e = TranslatedDriverError(GetParam().driverText);
  EXPECT_EQ(e.Number(), -2147220497);
  EXPECT_EQ(e.Source(), "Vendrel");
  EXPECT_EQ(e.Description(), GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(
    DriverTexts, DriverErrorCases,
    ::testing::Values(
        TranslationCase{"missing operator in one fixed text",
                        "Syntax error (missing operator) in query expression 'TEMP1234.A B'.",
                        "SQL syntax error (missing Operator) in query expression."},
        TranslationCase{"missing operator in any case", "SYNTAX ERROR (MISSING OPERATOR) IN X.TXT",
                        "SQL syntax error (missing Operator) in query expression."},
        TranslationCase{"unknown field",
                        "The Microsoft Jet database engine does not recognize 'TEMP1234.X' as a valid field name or "
                        "expression.",
                        "The VDL Component does not recognize 'TEMP1234.X' as a valid field name or expression."},
        TranslationCase{"missing table loses the extension",
                        "The Microsoft Jet database engine cannot find the input table or query 'TEMP1234.txt'.  Make "
                        "sure it exists and that its name is spelled correctly.",
                        "The VDL Component cannot find the input table or query 'TEMP1234'.  Make sure it exists "
                        "and that its name is spelled correctly."},
        TranslationCase{"every replacement without regard to case",
                        "MICROSOFT JET DATABASE ENGINE: text file 'a.TXT' and TEXT FILE 'b.Txt'",
                        "VDL Component: Temporary File 'a' and Temporary File 'b'"},
        TranslationCase{"other texts pass unchanged", "Division by zero", "Division by zero"}),
    testing::NameFromWhat());

// The data file names change with every run: a description names the
// recordset, and positions count in the caller's statement.
TEST(DriverErrorsInCallersTerms, NameRecordsetsAndCountInTheCallersStatement) {
  const std::vector<TableName> tables = {{"rs1", "TEMP20216224"}, {"rs2", "TEMP2021"}, {"rs3", "rs3"}};
  struct Case {
    const char* driverText;
    const char* description;
  };
  for (const Case& c : {
           Case{"Line 2 of 'TEMP20216224.txt': the value 'x' of column 'V' cannot be read as Double.",
                "Line 2 of 'rs1': the value 'x' of column 'V' cannot be read as Double."},
           Case{"The Microsoft Jet database engine does not recognize 'TEMP2021.X' as a valid field name or "
                "expression. Did you mean 'TEMP2021.A'?",
                "The VDL Component does not recognize 'rs2.X' as a valid field name or expression. Did you mean "
                "'rs2.A'?"},
           // a longer word that begins with a file name is another word
           Case{"'TEMP20216224x' and 'xTEMP2021' and 'TEMP2021_'", "'TEMP20216224x' and 'xTEMP2021' and 'TEMP2021_'"},
           // a kept result's file name is its own name
           Case{"Could not read 'rs3'.", "Could not read 'rs3'."},
       }) {
    EXPECT_EQ(TranslatedDriverError(c.driverText, tables).Description(), c.description);
  }

  // Characters, not bytes: "é" and "日" before the place count one each.
  const std::string sql = "SELECT rs1.A AS [é日] FROM rs1 ORDER rs1.A ";
  const StatementRewriting statement{sql, RewriteSqlTokens(sql, tables)};
  const std::string& rewritten = statement.rewritten.text;
  const size_t at = CodePointCount(rewritten.substr(0, rewritten.find("ORDER"))) + 1;
  const std::string callerAt = std::to_string(CodePointCount(sql.substr(0, sql.find("ORDER"))) + 7);
  EXPECT_EQ(TranslatedDriverError("Syntax error in ORDER BY clause. Near 'TEMP20216224' at character " +
                                      std::to_string(at + 6) + ".",
                                  tables, &statement)
                .Description(),
            "Syntax error in ORDER BY clause. Near 'rs1' at character " + callerAt + ".");
  // The fixed text of a missing operator keeps the sentence that says where.
  EXPECT_EQ(TranslatedDriverError("Syntax error (missing operator) in query expression 'TEMP20216224.A TEMP2021'. "
                                  "Near 'TEMP20216224' at character " +
                                      std::to_string(at + 6) + ".",
                                  tables, &statement)
                .Description(),
            "SQL syntax error (missing Operator) in query expression. Near 'rs1' at character " + callerAt + ".");

  // A piece of the statement that the description quotes reads as the caller wrote it.
  const std::string grouped = "SELECT (SELECT Min(Rs1.A) FROM Rs1) FROM rs2 GROUP BY rs2.B ";
  const StatementRewriting groupedStatement{grouped, RewriteSqlTokens(grouped, tables)};
  const std::string& rewrittenGrouped = groupedStatement.rewritten.text;
  const size_t from = rewrittenGrouped.find("(SELECT"), to = rewrittenGrouped.rfind(") FROM") + 1;
  const std::string quoted = rewrittenGrouped.substr(from, to - from);
  EXPECT_EQ(TranslatedDriverError("You tried to execute a query that does not include the specified expression '" +
                                      quoted + "' as part of an aggregate function.",
                                  tables, &groupedStatement)
                .Description(),
            "You tried to execute a query that does not include the specified expression '(SELECT Min(rs1.A) FROM Rs1)' "
            "as part of an aggregate function.");
}

TEST(DriverErrorsInCallersTerms, ATableThatIsNoRecordsetGetsTheNearestRecordsetName) {
  const std::vector<TableName> tables = {{"customers", "TEMP20216224"}, {"orders", "TEMP2021"}};
  const std::string notFound =
      "The Microsoft Jet database engine cannot find the input table or query 'custmers'.  Make sure it exists and "
      "that its name is spelled correctly.";
  EXPECT_EQ(TranslatedDriverError(notFound + " Near 'custmers' at character 15.", tables).Description(),
            "The VDL Component cannot find the input table or query 'custmers'.  Make sure it exists and that its "
            "name is spelled correctly. Did you mean 'customers'? Near 'custmers' at character 15.");
  // Nothing near enough: no suggestion.
  EXPECT_EQ(TranslatedDriverError(notFound, {{"rs1", "TEMP1"}}).Description().find("Did you mean"), std::string::npos);
}

TEST(QualifiedResultFields, AreNamedByTheirRecordsetName) {
  RowStore rows({{"TEMP4471803.SUPPLIER", adVarWChar}, {"temp99.SUPPLIER", adVarWChar}, {"rs3.X", adInteger},
                 {"PRODUCT", adVarWChar}, {"OTHER.Y", adInteger}});
  NameQualifiedFieldsByRecordset(rows, {{"rs1", "TEMP99"}, {"rs2", "TEMP4471803"}, {"rs3", "rs3"}});
  std::vector<std::string> names;
  for (const FieldInfo& f : rows.Fields()) names.push_back(f.name);
  EXPECT_EQ(names, (std::vector<std::string>{"rs2.SUPPLIER", "rs1.SUPPLIER", "rs3.X", "PRODUCT", "OTHER.Y"}));
}

}  // namespace
}  // namespace vendrel::engine
