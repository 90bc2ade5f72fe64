// An inverse-kinematics chain from a first joint to an end joint, driven by
// an effector, with a pole vector (a vector or an object) and a twist.
#pragma once

#include "sdk/character/KDuzConstraint.h"

namespace duzsdk {

class KDuzConstraintSingleChainIK : public KDuzConstraint {
public:
    enum ESolverType : int { eRPSolver = 0, eSCSolver = 1 };
    enum EPoleVectorType : int { ePoleVectorTypeVector = 0, ePoleVectorTypeObject = 1 };
    enum EEvalTS : int { eNeverTS = 0, eAutoDetect = 1, eAlwaysTS = 2 };
    // Texts of the three enumerations; null outside their values.
    static const char* SolverTypeText(int value);
    static const char* PoleVectorTypeText(int value);
    static const char* EvalTSText(int value);

    KDuzConstraintSingleChainIK(KDuzSdkManager* manager, const char* name) : KDuzConstraint(manager, name) {}
    static KDuzConstraintSingleChainIK* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override { return ClassId(); }
    void PostCreate() override;
    EConstraintType GetConstraintType() const override { return eSingleChainIK; }
    void CreateTakeNodeChannels(KDuzTakeNode* takeNode) override { CreateChannelsOfAnimatable(takeNode); }
    KDuzObject* Clone(int mode) override { return CloneByCopy(mode); }

    KDuzProperty Lock;
    KDuzProperty Active;
    KDuzProperty PoleVectorType;
    KDuzProperty SolverType;
    KDuzProperty EvaluateTSAnim;
    KDuzProperty Weight;
    KDuzProperty PoleVectorObjects;
    KDuzProperty PoleVector;
    KDuzProperty Twist;
    KDuzProperty FirstJointObject;
    KDuzProperty EndJointObject;
    KDuzProperty EffectorObject;
};

}  // namespace duzsdk
