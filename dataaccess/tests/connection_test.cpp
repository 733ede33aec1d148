#include "vendrel/dataaccess/connection.h"

#include <gtest/gtest.h>

#include "vendrel/testing/errors.h"

#include "vendrel/dataaccess/error.h"

namespace vendrel {
namespace {

using vendrel::testing::ErrorNumberOf;

TEST(ConnectionString, KeysWithoutCaseAndQuotedOrBracedValues) {
  const auto cs = ConnectionString::Parse(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/tmp/VDL1;Extended Properties=\"text;HDR=Yes;FMT=Delimited;\";");
  EXPECT_EQ(cs.Get("provider").value(), "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(cs.Get("DATA SOURCE").value(), "/tmp/VDL1");
  EXPECT_EQ(cs.Get("Extended Properties").value(), "text;HDR=Yes;FMT=Delimited;");
  const auto odbc = ConnectionString::Parse(
      "Driver={Microsoft Text Driver (*.txt; *.csv)};Dbq=/data;Extensions=asc,csv,tab,txt;HDR=YES");
  EXPECT_EQ(odbc.Get("driver").value(), "Microsoft Text Driver (*.txt; *.csv)");
  EXPECT_EQ(odbc.Get("Extensions").value(), "asc,csv,tab,txt");
  EXPECT_EQ(ConnectionString::Parse("A='it''s'").Get("a").value(), "it's");
  EXPECT_FALSE(odbc.Get("Missing").has_value());
  EXPECT_EQ(ErrorNumberOf([] { ConnectionString::Parse("A=\"open"); }), err::kArgumentsWrongType);
}

// A provider that answers every command with two rows.
class TwoRowsSession : public ProviderSession {
 public:
  Ref<RowStore> Execute(const std::string&, int, const CancelRequest&) override {
    Ref<RowStore> rows = MakeRef<RowStore>(std::vector<FieldInfo>{{"N", adInteger, 4, adFldMayBeNull}});
    rows->AppendRow({Variant::Long(1)});
    rows->AppendRow({Variant::Long(2)});
    return rows;
  }
};
class TwoRowsProvider : public Provider {
 public:
  bool Accepts(const ConnectionString& cs) const override { return cs.Get("Provider") == "TwoRows"; }
  Ref<ProviderSession> Open(const ConnectionString&) override { return MakeRef<TwoRowsSession>(); }
};

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterProvider(provider_); }
  void TearDown() override { UnregisterProvider(provider_.get()); }
  std::shared_ptr<TwoRowsProvider> provider_ = std::make_shared<TwoRowsProvider>();
};

TEST_F(ConnectionTest, ServerCursorIsForwardOnlyAndClientCursorIsStatic) {
  Ref<Connection> cn = Connection::Create();
  cn->SetConnectionString("Provider=TwoRows");
  cn->Open();
  Ref<Recordset> server = Recordset::Create();
  server->Open(Variant("SELECT"), Variant(cn));
  EXPECT_EQ(server->CursorType(), adOpenForwardOnly);
  EXPECT_EQ(server->LockType(), adLockReadOnly);
  EXPECT_EQ(server->RecordCount(), -1);
  server->MoveFirst();  // allowed: starts the walk again
  EXPECT_EQ(ErrorNumberOf([&] { server->MovePrevious(); }), err::kNotCapable);

  Ref<Recordset> client = Recordset::Create();
  client->SetCursorLocation(adUseClient);
  client->Open(Variant("SELECT"), Variant(cn), adOpenDynamic, adLockOptimistic, adCmdText);
  EXPECT_EQ(client->CursorType(), adOpenStatic);
  EXPECT_EQ(client->LockType(), adLockOptimistic);
  EXPECT_EQ(client->RecordCount(), 2);
  client->SetActiveConnection(nullptr);
  cn->Close();
  client->MoveLast();
  EXPECT_EQ(client->Fields()[0].Value(), Variant::Long(2));
}

TEST_F(ConnectionTest, ConnectionErrors) {
  Ref<Connection> never = Connection::Create();
  Ref<Connection> unknown = Connection::Create();
  unknown->SetConnectionString("Provider=Nobody");
  Ref<Connection> open = Connection::Create();
  open->Open("Provider=TwoRows");
  EXPECT_EQ(ErrorNumberOf([&] { never->Close(); }), err::kObjectClosed);
  EXPECT_EQ(ErrorNumberOf([&] { unknown->Open(); }), err::kProviderNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { open->Open(); }), err::kObjectOpen);
  EXPECT_EQ(ErrorNumberOf([&] { Recordset::Create()->Open(Variant("SELECT"), Variant(never)); }),
            err::kConnectionClosed);
  open->Close();
  EXPECT_EQ(ErrorNumberOf([&] { open->Close(); }), err::kObjectClosed);
}

}  // namespace
}  // namespace vendrel
