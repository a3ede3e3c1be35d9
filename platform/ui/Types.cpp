#include "platform/ui/Types.h"

#include <algorithm>

namespace Norvane::Platform::Ui {

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner)
        AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    while (!FComponents.empty())
        delete FComponents.back(); // each removes itself from this list
    if (FOwner)
        FOwner->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* Component) {
    FComponents.push_back(Component);
    Component->FOwner = this;
}

void TComponent::RemoveComponent(TComponent* Component) {
    auto it = std::find(FComponents.begin(), FComponents.end(), Component);
    if (it != FComponents.end())
        FComponents.erase(it);
    Component->FOwner = nullptr;
}

} // namespace Norvane::Platform::Ui
