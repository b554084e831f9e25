// The adapters this program is built with. Each concrete adapter adds its
// registration call here (one line); nothing else needs to know them.

#include "can/AdapterFactory.h"
#include "can/ChaiAdapter.h"
#include "can/UsbCanAdapter.h"

namespace vorta {

void RegisterStandardAdapters(TAdapterFactory& factory) {
  (void)factory;
  RegisterChaiAdapter(factory);
  RegisterUsbCanAdapter(factory);
}

}  // namespace vorta
