// The per-user class registry file.

#include "private_registry.h"
#include "vendrel/dataaccess/com/error_info.h"
#include "vendrel/dataaccess/com/registry.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::com {
namespace {

constexpr Guid kFirst = MakeGuid("{0EBCC7BB-0F80-4265-B443-33E2F7A10B7D}");
constexpr Guid kSecond = MakeGuid("{33DAC1E2-217F-44DD-965A-FBF7AFC13DE5}");
constexpr Guid kForeign = MakeGuid("{A46125FA-6BA8-4982-A98F-A2AB9DEDF8D2}");

class ComRegistryTest : public PrivateRegistryTest {
 protected:
  ComRegistryTest() : PrivateRegistryTest("not/yet/there") {}
  static std::string Contents() { return fs::ReadFile(RegistryPath()); }
  static void Write(const std::string& text) {
    fs::OutputFile file(RegistryPath(), fs::OutputFile::Mode::Create);
    file.Write(text);
    file.Close();
  }

  const ClassEntry first_{kFirst, "Vendrel12.Vendrel", "Apartment", "/opt/lib/libVendrel12.so"};
  const ClassEntry second_{kSecond, "Vendrel12.QueryDataSource", "Apartment", "/opt/lib/libVendrel12.so"};
};

TEST_F(ComRegistryTest, PathFollowsXdgDataHomeElseTheHomeFolder) {
  ::setenv("HOME", "/home/someone", 1);
  const std::pair<const char*, std::string> cases[] = {
      {"/data/", "/data/vendrel/classes.ini"},
      {"relative/data", "/home/someone/.local/share/vendrel/classes.ini"},  // not absolute: ignored
      {"", "/home/someone/.local/share/vendrel/classes.ini"},
  };
  for (const auto& [xdg, expected] : cases) {
    ::setenv("XDG_DATA_HOME", xdg, 1);
    EXPECT_EQ(expected, RegistryPath()) << xdg;
  }
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ("/home/someone/.local/share/vendrel/classes.ini", RegistryPath());
}

TEST_F(ComRegistryTest, RegisteredClassesAreFoundByClassIdAndByProgId) {
  ClassEntry found;
  EXPECT_EQ(REGDB_E_CLASSNOTREG, FindClass(kFirst, &found));  // no file yet
  const ClassEntry entries[] = {first_, second_};
  ASSERT_EQ(S_OK, RegisterClasses(entries));

  ASSERT_EQ(S_OK, FindClass(kSecond, &found));
  EXPECT_EQ("Vendrel12.QueryDataSource", found.progId);
  EXPECT_EQ("Apartment", found.threadingModel);
  EXPECT_EQ("/opt/lib/libVendrel12.so", found.library);
  ASSERT_EQ(S_OK, FindClassByProgId("VENDREL12.vendrel", &found));
  EXPECT_EQ(kFirst, found.classId);
  EXPECT_EQ(CO_E_CLASSSTRING, FindClassByProgId("Vendrel12.Nothing", &found));
  EXPECT_EQ(REGDB_E_CLASSNOTREG, FindClass(kForeign, &found));
  EXPECT_EQ(
      "[{0EBCC7BB-0F80-4265-B443-33E2F7A10B7D}]\nProgID=Vendrel12.Vendrel\nThreadingModel=Apartment\n"
      "Library=/opt/lib/libVendrel12.so\n\n"
      "[{33DAC1E2-217F-44DD-965A-FBF7AFC13DE5}]\nProgID=Vendrel12.QueryDataSource\nThreadingModel=Apartment\n"
      "Library=/opt/lib/libVendrel12.so\n\n",
      Contents());
}

TEST_F(ComRegistryTest, UnregisteringRemovesExactlyThoseEntries) {
  const ClassEntry entries[] = {first_};
  ASSERT_EQ(S_OK, RegisterClasses(entries));
  const std::string foreign =
      "# kept by hand\n[{A46125FA-6BA8-4982-A98F-A2AB9DEDF8D2}]\r\nProgID=Other.Thing\n  odd line without key\n";
  Write(foreign + Contents());
  const ClassEntry more[] = {second_};
  ASSERT_EQ(S_OK, RegisterClasses(more));

  const Guid ours[] = {kFirst, kSecond};
  ASSERT_EQ(S_OK, UnregisterClasses(ours));
  // What the registration did not write is left as it was, line ends apart.
  EXPECT_EQ("# kept by hand\n[{A46125FA-6BA8-4982-A98F-A2AB9DEDF8D2}]\nProgID=Other.Thing\n  odd line without key\n",
            Contents());
  ClassEntry found;
  EXPECT_EQ(S_OK, FindClassByProgId("other.thing", &found));
  EXPECT_EQ(kForeign, found.classId);
  EXPECT_EQ(S_OK, UnregisterClasses(ours));  // nothing left to remove is no error
}

TEST_F(ComRegistryTest, RegisteringAgainReplacesTheEntryAndTakesOverItsProgId) {
  const ClassEntry entries[] = {first_};
  ASSERT_EQ(S_OK, RegisterClasses(entries));
  const ClassEntry moved[] = {{kFirst, "Vendrel12.Vendrel", "Apartment", "/new/libVendrel12.so"},
                              {kForeign, "Vendrel12.Vendrel", "Apartment", "/other/lib.so"}};
  ASSERT_EQ(S_OK, RegisterClasses(moved));
  std::vector<ClassEntry> all;
  ASSERT_EQ(S_OK, ListClasses(&all));
  ASSERT_EQ(2u, all.size());
  EXPECT_EQ("/new/libVendrel12.so", all[0].library);
  EXPECT_EQ("", all[0].progId);  // the ProgID names one class only
  ClassEntry found;
  ASSERT_EQ(S_OK, FindClassByProgId("Vendrel12.Vendrel", &found));
  EXPECT_EQ(kForeign, found.classId);
}

TEST_F(ComRegistryTest, AFailedWriteLeavesTheOldFileWholeAndSaysWhy) {
  const ClassEntry entries[] = {first_};
  ASSERT_EQ(S_OK, RegisterClasses(entries));
  const std::string before = Contents();
  const ClassEntry more[] = {second_};
  for (long k = 1;; ++k) {
    fs::faults::Arm(k);
    const HRESULT hr = RegisterClasses(more);
    const bool fired = fs::faults::Fired();
    fs::faults::Disarm();
    if (!fired) {
      EXPECT_EQ(S_OK, hr);
      break;
    }
    SCOPED_TRACE(k);
    EXPECT_EQ(REGDB_E_WRITEREGDB, hr);
    auto info = GetErrorInfo();
    ASSERT_TRUE(info);
    EXPECT_NE(std::string::npos, info->description.find(RegistryPath())) << info->description;
    EXPECT_EQ(before, Contents());
    EXPECT_FALSE(fs::PathExists(RegistryPath() + ".new"));
  }
  ClassEntry found;
  EXPECT_EQ(S_OK, FindClass(kSecond, &found));
}

TEST_F(ComRegistryTest, EntriesThatWouldBreakTheFileAreRefused) {
  const ClassEntry bad[] = {{kFirst, "Vendrel12.Vendrel\n[{33DAC1E2-217F-44DD-965A-FBF7AFC13DE5}]", "Apartment",
                             "/opt/lib/libVendrel12.so"}};
  EXPECT_EQ(E_INVALIDARG, RegisterClasses(bad));
  EXPECT_FALSE(fs::PathExists(RegistryPath()));
}

}  // namespace
}  // namespace vendrel::com
