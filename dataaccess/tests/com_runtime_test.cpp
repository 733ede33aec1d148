// Creation through the registry when the registered library is missing or
// is not a component server.

#include "private_registry.h"
#include "vendrel/dataaccess/com/registry.h"
#include "vendrel/dataaccess/com/runtime.h"

namespace vendrel::com {
namespace {

constexpr Guid kClass = MakeGuid("{5D0C1F64-3A3E-4C1B-9D7E-2B6F0A1C9E11}");

class ComRuntimeTest : public PrivateRegistryTest {
 protected:
  static void RegisterWithLibrary(const std::string& library) {
    const ClassEntry entry[] = {{kClass, "Test.Thing", "Apartment", library}};
    ASSERT_EQ(S_OK, RegisterClasses(entry));
  }
};

TEST_F(ComRuntimeTest, AClassWhoseLibraryIsMissingFailsNamingTheLibrary) {
  RegisterWithLibrary("/nonexistent/libThing.so");
  Ref<IUnknown> object;
  EXPECT_EQ(E_MODULE_NOT_FOUND, CreateInstance(kClass, IUnknown::Iid, &object));
  const Error e = ErrorFromHResult(E_MODULE_NOT_FOUND);
  EXPECT_EQ("COM", e.Source());
  EXPECT_NE(std::string::npos, e.Description().find("/nonexistent/libThing.so")) << e.Description();
  EXPECT_TRUE(LoadedLibraries().empty());
}

TEST_F(ComRuntimeTest, ALibraryWithoutTheEntryPointsIsNoServer) {
  RegisterWithLibrary("libc.so.6");
  Ref<IUnknown> object;
  EXPECT_EQ(CO_E_ERRORINDLL, CreateInstance("test.thing", IUnknown::Iid, &object));
  EXPECT_NE(std::string::npos, ErrorFromHResult(CO_E_ERRORINDLL).Description().find("DllGetClassObject"));
  EXPECT_TRUE(LoadedLibraries().empty());
}

TEST_F(ComRuntimeTest, UnknownClassesAndProgIdsAreNotRegistered) {
  Ref<IUnknown> object;
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CreateInstance(kClass, IUnknown::Iid, &object));
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CreateInstance("Test.Thing", IUnknown::Iid, &object));
  Guid clsid;
  EXPECT_EQ(CO_E_CLASSSTRING, ClassIdFromProgId("Test.Thing", &clsid));
}

}  // namespace
}  // namespace vendrel::com
