#include "can/AdapterFactory.h"
#include "can/ChaiAdapter.h"
#include "can/UsbCanAdapter.h"

namespace vorta {

void TAdapterFactory::Register(const QString& type, TAdapterCreator creator) {
  if (type.isEmpty() || !creator) {
    return;
  }
  creators_[type] = std::move(creator);
}

bool TAdapterFactory::Has(const QString& type) const {
  return creators_.contains(type);
}

std::unique_ptr<TCANAdapter> TAdapterFactory::Create(const QString& type,
                                                     const TAdapterConfig& config) const {
  const auto it = creators_.find(type);
  if (it == creators_.end()) {
    return nullptr;
  }
  return it->second(config);
}

}  // namespace vorta

// The adapters this program is built with. Each concrete adapter adds its
// registration call here (one line); nothing else needs to know them.

namespace vorta {

void RegisterStandardAdapters(TAdapterFactory& factory) {
  (void)factory;
  RegisterChaiAdapter(factory);
  RegisterUsbCanAdapter(factory);
}

}  // namespace vorta
