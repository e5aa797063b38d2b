#pragma once
// Everything the program uses from PhysX 5.4, under the SDK's names, implemented on Bullet 3.

#include "foundation/PxAllocatorCallback.h"
#include "foundation/PxBounds3.h"
#include "foundation/PxErrorCallback.h"
#include "foundation/PxFlags.h"
#include "foundation/PxFoundation.h"
#include "foundation/PxIO.h"
#include "foundation/PxMath.h"
#include "foundation/PxQuat.h"
#include "foundation/PxSimpleTypes.h"
#include "foundation/PxTransform.h"
#include "foundation/PxVec3.h"

#include "common/PxBase.h"
#include "common/PxTolerancesScale.h"

#include "geometry/PxGeometry.h"
#include "geometry/PxGeometryQuery.h"
#include "geometry/PxSimpleTriangleMesh.h"
#include "geometry/PxTriangleMesh.h"

#include "PxActor.h"
#include "PxContact.h"
#include "PxContactModifyCallback.h"
#include "PxFiltering.h"
#include "PxMaterial.h"
#include "PxPhysics.h"
#include "PxQueryFiltering.h"
#include "PxQueryReport.h"
#include "PxRigidActor.h"
#include "PxRigidBody.h"
#include "PxRigidDynamic.h"
#include "PxRigidStatic.h"
#include "PxScene.h"
#include "PxSceneDesc.h"
#include "PxShape.h"
#include "PxSimulationEventCallback.h"

#include "task/PxCpuDispatcher.h"
#include "task/PxTask.h"

#include "extensions/PxDefaultAllocator.h"
#include "extensions/PxDefaultCpuDispatcher.h"
#include "extensions/PxDefaultStreams.h"
#include "extensions/PxRigidActorExt.h"

#include "cooking/PxCooking.h"

#include "characterkinematic/PxControllerManager.h"

#include "pvd/PxPvd.h"
#include "pvd/PxPvdTransport.h"
