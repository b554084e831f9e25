#include "can/AdapterFactory.h"

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
