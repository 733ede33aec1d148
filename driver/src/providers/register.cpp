#include <mutex>

#include "providers/providers.h"
#include "text/table_cache.h"
#include "vendrel/driver/driver.h"

namespace vendrel::driver {

void RegisterProviders() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterProvider(MakeDatabaseFileProvider());
    RegisterProvider(MakeTextFolderProvider());
    RegisterProvider(MakeOdbcTextProvider());
  });
}

void ReleaseIdleTextTables() { text::DropIdleTables(); }

}  // namespace vendrel::driver
