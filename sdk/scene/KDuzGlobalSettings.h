// The scene-wide coordinate convention and unit. Both live in properties so
// that files store them like any other property; the typed values are
// rebuilt from the properties on demand.
#pragma once

#include "sdk/object/KDuzObject.h"
#include "sdk/scene/KDuzAxisSystem.h"
#include "sdk/scene/KDuzSystemUnit.h"

namespace duzsdk {

class KDuzGlobalSettings : public KDuzObject {
public:
    KDuzGlobalSettings(KDuzSdkManager* manager, const char* name);
    ~KDuzGlobalSettings() override;

    // Through the manager's create-by-class-id; null without a manager.
    static KDuzGlobalSettings* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    // ---- KDuzPlug / KDuzObject ----
    KClassId GetClassId() const override;
    // Creates the internal object, then the seven properties with their values.
    void PostCreate() override;
    int GetNameKind() const override { return 20; }

    // Writes the held axis system and a unit scale factor of 1 into the
    // properties; the result of the last write.
    bool InitProperties();

    bool SetAxisSystem(const KDuzAxisSystem& system);
    // Rebuilt from the six axis properties. Values that do not form a valid
    // system (a file's "UpAxis" of 7, say) give the default convention.
    void GetAxisSystem(KDuzAxisSystem& out);
    KDuzAxisSystem GetAxisSystem();

    bool SetSystemUnit(const KDuzSystemUnit& unit);
    // From "UnitScaleFactor"; 1 (centimetre) when it cannot be read.
    void GetSystemUnit(KDuzSystemUnit& out) const;
    KDuzSystemUnit GetSystemUnit() const;

private:
    bool AxisSystemToProperties();
    void PropertiesToAxisSystem();

    KDuzAxisSystem mAxisSystem;
};

}  // namespace duzsdk
