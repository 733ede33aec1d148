// Identifiers, result codes and error information of the component layer.

#include <gtest/gtest.h>

#include <thread>

#include "vendrel/dataaccess/com/error_info.h"
#include "vendrel/dataaccess/com/guid.h"
#include "vendrel/dataaccess/com/hresult.h"
#include "vendrel/dataaccess/com/server.h"

namespace vendrel::com {
namespace {

TEST(ComGuidTest, ParsesAndPrintsTheBracedForm) {
  constexpr Guid g = MakeGuid("{0ebcc7bb-0F80-4265-b443-33E2F7A10B7D}");
  EXPECT_EQ(0x0EBCC7BBu, g.data1);
  EXPECT_EQ(0x0F80, g.data2);
  EXPECT_EQ(0x4265, g.data3);
  EXPECT_EQ(0xB4, g.data4[0]);
  EXPECT_EQ(0x7D, g.data4[7]);
  EXPECT_EQ("{0EBCC7BB-0F80-4265-B443-33E2F7A10B7D}", ToString(g));
  EXPECT_EQ(g, ParseGuid(ToString(g)));
  EXPECT_EQ("{00000000-0000-0000-0000-000000000000}", ToString(kNullGuid));
}

TEST(ComGuidTest, RefusesAnythingButTheBracedForm) {
  const char* bad[] = {
      "",
      "0EBCC7BB-0F80-4265-B443-33E2F7A10B7D",      // no braces
      "{0EBCC7BB-0F80-4265-B443-33E2F7A10B7D",     // no closing brace
      "{0EBCC7BB-0F80-4265-B443-33E2F7A10B7}",     // one digit short
      "{0EBCC7BB-0F80-4265-B443-33E2F7A10B7DD}",   // one digit too many
      "{0EBCC7BG-0F80-4265-B443-33E2F7A10B7D}",    // not hex
      "{0EBCC7BB-0F804-265-B443-33E2F7A10B7D}",    // dash misplaced
      "{0EBCC7BB-0F80-4265-B44333E2F7A10B7D-}",    // dash misplaced
      "{+EBCC7BB-0F80-4265-B443-33E2F7A10B7D}",
  };
  for (const char* text : bad) EXPECT_FALSE(ParseGuid(text)) << text;
}

TEST(ComHResultTest, PlainErrorNumbersTravelInTheControlFacility) {
  const std::pair<long, HRESULT> cases[] = {
      {5, MakeHResult(0x800A0005)},
      {9, MakeHResult(0x800A0009)},
      {457, MakeHResult(0x800A01C9)},
      {65535, MakeHResult(0x800AFFFF)},
      {-2147220497, MakeHResult(0x800403EF)},   // the component's 1007
      {0x800403EFL, MakeHResult(0x800403EF)},   // the same written unsigned
      {-2147217887, MakeHResult(0x80040E21)},   // a provider's own HRESULT
      {0, E_FAIL},
      {65536, E_FAIL},
      {0x7FFFFFFFL, E_FAIL},
      {0x100000000L, E_FAIL},
  };
  for (const auto& [number, hr] : cases) EXPECT_EQ(hr, HResultFromErrorNumber(number)) << number;

  EXPECT_EQ(457, ErrorNumberFromHResult(MakeHResult(0x800A01C9)));
  EXPECT_EQ(-2147220497, ErrorNumberFromHResult(MakeHResult(0x800403EF)));
  EXPECT_EQ(-2147221164, ErrorNumberFromHResult(REGDB_E_CLASSNOTREG));
  EXPECT_EQ("Class not registered", HResultText(REGDB_E_CLASSNOTREG));
  EXPECT_EQ(PlatformErrorText(9), HResultText(MakeHResult(0x800A0009)));
}

TEST(ComErrorInfoTest, IsPerThreadAndTakenByTheCaller) {
  SetErrorInfo({kNullGuid, "Vendrel", "main thread"});
  std::optional<ErrorInfo> seenElsewhere = ErrorInfo{};
  std::thread([&] { seenElsewhere = GetErrorInfo(); }).join();
  EXPECT_FALSE(seenElsewhere);

  auto info = GetErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ("main thread", info->description);
  EXPECT_FALSE(GetErrorInfo());
}

TEST(ComErrorInfoTest, ClientErrorTakesTheInformationOfTheFailedInterfaceOnly) {
  constexpr Guid iid = MakeGuid("{11111111-2222-3333-4444-555555555555}");
  constexpr Guid other = MakeGuid("{66666666-2222-3333-4444-555555555555}");
  SetErrorInfo({iid, "Vendrel", "[Vendrel] Syntax error"});
  Error e = ErrorFromHResult(MakeHResult(0x800403EF), iid);
  EXPECT_EQ(-2147220497, e.Number());
  EXPECT_EQ("Vendrel", e.Source());
  EXPECT_EQ("[Vendrel] Syntax error", e.Description());

  SetErrorInfo({other, "Stale", "left by another interface"});
  Error stale = ErrorFromHResult(E_NOINTERFACE, iid);
  EXPECT_EQ("", stale.Source());
  EXPECT_EQ("No such interface supported", stale.Description());
  EXPECT_FALSE(GetErrorInfo());  // taken either way
}

TEST(ComGuardCallTest, TurnsRaisedErrorsIntoHResultsAndErrorInformation) {
  constexpr Guid iid = MakeGuid("{11111111-2222-3333-4444-555555555555}");
  SetErrorInfo({iid, "Old", "from an earlier call"});
  EXPECT_EQ(S_OK, GuardCall(iid, [] {}));
  EXPECT_FALSE(GetErrorInfo());  // an earlier call's information does not outlive the next call

  EXPECT_EQ(MakeHResult(0x800A01C9), GuardCall(iid, [] { RaisePlatform(457, "Runtime"); }));
  auto info = GetErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(iid, info->interfaceId);
  EXPECT_EQ("Runtime", info->source);
  EXPECT_EQ(PlatformErrorText(457), info->description);

  EXPECT_EQ(E_OUTOFMEMORY, GuardCall(iid, [] { throw std::bad_alloc(); }));
  EXPECT_EQ(DISP_E_TYPEMISMATCH, GuardCall(iid, [] { throw DispatchFailure{DISP_E_TYPEMISMATCH}; }));
  EXPECT_EQ(E_FAIL, GuardCall(iid, [] { throw std::runtime_error("odd"); }));
  EXPECT_EQ("odd", GetErrorInfo()->description);
}

}  // namespace
}  // namespace vendrel::com
