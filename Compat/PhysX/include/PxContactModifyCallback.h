#pragma once
// Contact modification: after contact generation and before the solver, the scene hands every pair
// whose pair flags hold eMODIFY_CONTACTS to this callback. Changes apply to this step only.

#include "PxContact.h"
#include "foundation/PxTransform.h"

namespace physx {

class PxRigidActor;
class PxShape;

class PxContactSet {
public:
    const PxVec3& getPoint(PxU32 i) const { return mContacts[i].contact; }
    void setPoint(PxU32 i, const PxVec3& p) { mContacts[i].contact = p; }
    const PxVec3& getNormal(PxU32 i) const { return mContacts[i].normal; }
    void setNormal(PxU32 i, const PxVec3& n) { mContacts[i].normal = n; }
    // Raising the separation lets the bodies approach by that much more at this contact in this step.
    PxReal getSeparation(PxU32 i) const { return mContacts[i].separation; }
    void setSeparation(PxU32 i, PxReal s) { mContacts[i].separation = s; }
    const PxVec3& getTargetVelocity(PxU32 i) const { return mContacts[i].targetVelocity; }
    void setTargetVelocity(PxU32 i, const PxVec3& v) { mContacts[i].targetVelocity = v; }
    PxReal getMaxImpulse(PxU32 i) const { return mContacts[i].maxImpulse; }
    void setMaxImpulse(PxU32 i, PxReal s) { mContacts[i].maxImpulse = s; }
    PxReal getRestitution(PxU32 i) const { return mContacts[i].restitution; }
    void setRestitution(PxU32 i, PxReal r) { mContacts[i].restitution = r; }
    PxReal getStaticFriction(PxU32 i) const { return mContacts[i].staticFriction; }
    void setStaticFriction(PxU32 i, PxReal f) { mContacts[i].staticFriction = f; }
    PxReal getDynamicFriction(PxU32 i) const { return mContacts[i].dynamicFriction; }
    void setDynamicFriction(PxU32 i, PxReal f) { mContacts[i].dynamicFriction = f; }
    // The solver then drops this contact.
    void ignore(PxU32 i) { setMaxImpulse(i, 0.0f); }
    PxU32 size() const { return mCount; }

    // Filled by the scene before the callback runs.
    PxU32 mCount = 0;
    PxModifiableContact* mContacts = nullptr;
};

struct PxContactModifyPair {
    const PxRigidActor* actor[2];
    const PxShape* shape[2];
    PxTransform transform[2];
    PxContactSet contacts;
};

class PxContactModifyCallback {
public:
    // Runs on the thread that steps the simulation (the stand-in steps inside PxScene::simulate, on the
    // caller's thread). It may read program data and change only the contacts it is handed.
    virtual void onContactModify(PxContactModifyPair* const pairs, PxU32 count) = 0;

protected:
    virtual ~PxContactModifyCallback() = default;
};

} // namespace physx
