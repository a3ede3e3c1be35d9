// The small progress window shown while the engine installer runs: 80 x 80,
// borderless with a drop shadow and rounded corners, an animated activity
// indicator, and no way for the user to close it.
#pragma once

#include <cstdint>

#include "platform/ui/Controls.h"
#include "win11forms/Win11Forms.h"

namespace Norvane::Runtime {

class TEdgeInstallerForm : public Kestrin::Win11Forms::TForm {
public:
    static constexpr int DesignClientWidth = 80;
    static constexpr int DesignClientHeight = 80;
    static constexpr const char* DesignCaption = "EdgeInstallerForm";
    static constexpr int IndicatorLeft = 9;
    static constexpr int IndicatorTop = 8;
    // Corner ellipse of the window region.
    static constexpr int RegionCornerWidth = 4;
    static constexpr int RegionCornerHeight = 4;

    explicit TEdgeInstallerForm(Platform::Ui::TComponent* AOwner = nullptr);

    Platform::Ui::TActivityIndicator* ActivityIndicator = nullptr;

    // The settings' values: InstallFormColor (a colour reference, system
    // colours included), InstallIndicatorColor (0 black, 1 white; others
    // white) and InstallIndicatorType (0 momentum dots, 1 rotating sector,
    // 2 sector ring; others momentum dots).
    void ApplySettings(std::int32_t FormColor, std::int32_t IndicatorColor, std::int32_t IndicatorType);

    // Whether the rounded window region is in force (it is deleted again when
    // applying it failed).
    bool RegionApplied() const { return FRegionApplied; }

    void FormCreate(Platform::Ui::TObject* Sender);
    // Always refuses: the user cannot close the window.
    void FormCloseQuery(Platform::Ui::TObject* Sender, bool& CanClose);

protected:
    void CreateWnd() override;

private:
    void ApplyRegion();
    bool FRegionApplied = false;
};

} // namespace Norvane::Runtime
