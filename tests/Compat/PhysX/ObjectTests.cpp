// Object lifetimes, cooking, error reports, the visual-debugger transport and the extension objects.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <limits>

#include "PhysXTestWorld.h"

namespace tarnwick::test {
namespace {

using PhysXObjects = PhysXWorld;

TEST_F(PhysXObjects, ShapeReferencesFollowCreateAttachReleaseAndActorRelease)
{
    CreateScene();
    PxShape* shape = physics->createShape(PxSphereGeometry(5.0f), *material, true, PxShapeFlags(static_cast<PxU8>(11)));
    EXPECT_EQ(shape->getFlags(),
        PxShapeFlag::eSIMULATION_SHAPE | PxShapeFlag::eSCENE_QUERY_SHAPE | PxShapeFlag::eVISUALIZATION);
    EXPECT_EQ(shape->getReferenceCount(), 1u);
    EXPECT_EQ(material->getReferenceCount(), 2u) << "the shape holds the material";
    PxRigidDynamic* body = physics->createRigidDynamic(PxTransform(PxIdentity));
    ASSERT_TRUE(body->attachShape(*shape));
    EXPECT_EQ(shape->getReferenceCount(), 2u);
    EXPECT_EQ(shape->getActor(), body);
    shape->release();
    EXPECT_EQ(shape->getReferenceCount(), 1u) << "the actor keeps the shape alive";
    scene->addActor(*body);
    Step(5);

    PxRigidStatic* other = physics->createRigidStatic(PxTransform(PxIdentity));
    EXPECT_FALSE(other->attachShape(*shape)) << "an exclusive shape belongs to one actor";
    EXPECT_TRUE(errors.Saw(PxErrorCode::eINVALID_OPERATION));
    other->release();

    body->release();
    EXPECT_EQ(physics->getNbShapes(), 0u) << "releasing the actor released its only reference";
    EXPECT_EQ(material->getReferenceCount(), 1u);
    EXPECT_EQ(scene->getNbActors(PxActorTypeFlag::eRIGID_DYNAMIC | PxActorTypeFlag::eRIGID_STATIC), 0u);
}

TEST_F(PhysXObjects, DetachedSharedShapeOutlivesTheActorsThatUsedIt)
{
    CreateScene();
    PxShape* shared = physics->createShape(PxBoxGeometry(1.0f, 1.0f, 1.0f), *material, false);
    PxRigidStatic* a = physics->createRigidStatic(PxTransform(PxIdentity));
    PxRigidStatic* b = physics->createRigidStatic(PxTransform(PxVec3(10.0f, 0.0f, 0.0f)));
    ASSERT_TRUE(a->attachShape(*shared));
    ASSERT_TRUE(b->attachShape(*shared));
    EXPECT_EQ(shared->getReferenceCount(), 3u);
    EXPECT_EQ(shared->getActor(), nullptr) << "a shared shape has no single owner";
    a->detachShape(*shared);
    a->release();
    b->release();
    EXPECT_EQ(shared->getReferenceCount(), 1u);
    shared->release();
    EXPECT_EQ(physics->getNbShapes(), 0u);
}

TEST_F(PhysXObjects, ReleasingPhysicsReleasesEverythingStillAlive)
{
    CreateScene();
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(100.0f, 5.0f, 100.0f));
    for (int i = 0; i < 5; ++i)
        Ball(PxVec3(0.0f, 10.0f + 12.0f * i, 0.0f));
    physics->createShape(PxSphereGeometry(1.0f), *material, true); // never attached, never released
    Step(30);
    scene->removeActor(*Ball(PxVec3(0.0f, 100.0f, 0.0f)));
    EXPECT_EQ(physics->getNbShapes(), 8u);
    scene = nullptr; // released with the physics object in TearDown; the sanitizers check for leaks
}

TEST_F(PhysXObjects, ShapeChangesOnActorsInTheSceneTakeEffectAtOnce)
{
    CreateScene();
    PxRigidStatic* floor = StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 20.0f, 0.0f));
    Step(60);
    ASSERT_NEAR(ball->getGlobalPose().p.y, 5.0f, 0.1f);
    PxShape* shape = nullptr;
    floor->getShapes(&shape, 1);

    shape->setGeometry(PxBoxGeometry(200.0f, 15.0f, 200.0f)); // top now at 10
    ball->wakeUp();
    Step(60);
    EXPECT_NEAR(ball->getGlobalPose().p.y, 15.0f, 0.2f);

    shape->setLocalPose(PxTransform(PxVec3(0.0f, -20.0f, 0.0f))); // top now at -10
    ball->wakeUp();
    Step(60);
    EXPECT_NEAR(ball->getGlobalPose().p.y, -5.0f, 0.2f);

    shape->setGeometry(PxSphereGeometry(3.0f));
    EXPECT_TRUE(errors.Saw(PxErrorCode::eINVALID_PARAMETER)) << "a shape keeps its geometry type";
}

TEST_F(PhysXObjects, RemovingTheGroundWakesWhatSleptOnIt)
{
    CreateScene();
    PxRigidStatic* floor = StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 5.0f, 0.0f));
    Step(300);
    ASSERT_TRUE(ball->isSleeping());
    scene->removeActor(*floor);
    EXPECT_FALSE(ball->isSleeping());
    Step(30);
    EXPECT_LT(ball->getGlobalPose().p.y, -10.0f);
    scene->addActor(*floor);
    EXPECT_FALSE(scene->addActor(*floor));
}

TEST_F(PhysXObjects, CookingFailsCleanlyOnBadInput)
{
    const PxVec3 points[] = { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 0, 1 } };
    const PxU32 good[] = { 0, 1, 2 };
    const PxU32 outOfRange[] = { 0, 1, 3 };
    const PxVec3 notFinite[] = { { 0, 0, 0 }, { std::numeric_limits<float>::quiet_NaN(), 0, 0 }, { 0, 0, 1 } };
    const PxCookingParams params { PxTolerancesScale() };
    auto describe = [](const PxVec3* p, PxU32 pointCount, const PxU32* t, PxU32 triangleCount) {
        PxTriangleMeshDesc desc;
        desc.points.count = pointCount;
        desc.points.stride = sizeof(PxVec3);
        desc.points.data = p;
        desc.triangles.count = triangleCount;
        desc.triangles.stride = 3 * sizeof(PxU32);
        desc.triangles.data = t;
        return desc;
    };
    struct Case {
        const char* what;
        PxTriangleMeshDesc desc;
    };
    PxTriangleMeshDesc shortStride = describe(points, 3, good, 1);
    shortStride.points.stride = 4;
    const Case cases[] = {
        { "empty", describe(points, 0, good, 0) },
        { "no triangles", describe(points, 3, good, 0) },
        { "index out of range", describe(points, 3, outOfRange, 1) },
        { "not finite", describe(notFinite, 3, good, 1) },
        { "null points", describe(nullptr, 3, good, 1) },
        { "short stride", shortStride },
    };
    for (const Case& c : cases) {
        PxDefaultMemoryOutputStream out;
        PxTriangleMeshCookingResult::Enum result = PxTriangleMeshCookingResult::eSUCCESS;
        EXPECT_FALSE(PxCookTriangleMesh(params, c.desc, out, &result)) << c.what;
        EXPECT_NE(result, PxTriangleMeshCookingResult::eSUCCESS) << c.what;
        EXPECT_EQ(out.getSize(), 0u) << c.what;
    }
    PxDefaultMemoryOutputStream out;
    ASSERT_TRUE(PxCookTriangleMesh(params, describe(points, 3, good, 1), out));
    // A truncated or altered cooked stream is refused when the mesh is created.
    PxDefaultMemoryInputData truncated(out.getData(), out.getSize() - 4);
    EXPECT_EQ(physics->createTriangleMesh(truncated), nullptr);
    out.getData()[0] ^= 0xff;
    PxDefaultMemoryInputData altered(out.getData(), out.getSize());
    EXPECT_EQ(physics->createTriangleMesh(altered), nullptr);
    EXPECT_TRUE(errors.Saw(PxErrorCode::eINVALID_PARAMETER));
}

TEST_F(PhysXObjects, CookedMeshCollidesAtItsUniformScale)
{
    CreateScene();
    PxTriangleMesh* mesh = CookMesh({ { -1, 0, -1 }, { 1, 0, -1 }, { 1, 0, 1 }, { -1, 0, 1 } }, { 0, 2, 1, 0, 3, 2 });
    ASSERT_NE(mesh, nullptr);
    Own(physics->createRigidStatic(PxTransform(PxIdentity)),
        Shape(PxTriangleMeshGeometry(mesh, PxMeshScale(100.0f)), 1, kAllLayers));
    EXPECT_EQ(mesh->getReferenceCount(), 2u);
    mesh->release();
    PxRigidDynamic* inside = Ball(PxVec3(60.0f, 20.0f, -60.0f));
    PxRigidDynamic* outside = Ball(PxVec3(150.0f, 20.0f, 0.0f));
    Step(120);
    EXPECT_NEAR(inside->getGlobalPose().p.y, 5.0f, 0.2f) << "within the scaled quad, outside the cooked one";
    EXPECT_LT(outside->getGlobalPose().p.y, -50.0f);
}

TEST_F(PhysXObjects, InvalidUseIsReportedWithPhysXErrorCodes)
{
    CreateScene();
    PxTriangleMesh* mesh = CookMesh({ { -1, 0, -1 }, { 1, 0, -1 }, { 1, 0, 1 } }, { 0, 2, 1 });
    PxShape* meshShape = physics->createShape(PxTriangleMeshGeometry(mesh), *material, true);
    mesh->release();
    PxRigidDynamic* body = physics->createRigidDynamic(PxTransform(PxIdentity));
    errors.codes.clear();
    EXPECT_FALSE(body->attachShape(*meshShape)) << "dynamic actors take no triangle-mesh simulation shapes";
    ASSERT_EQ(errors.codes.size(), 1u);
    EXPECT_EQ(errors.codes[0], PxErrorCode::eINVALID_PARAMETER);
    meshShape->release();

    errors.codes.clear();
    scene->addActor(*body);
    EXPECT_FALSE(scene->addActor(*body));
    EXPECT_EQ(errors.codes, std::vector<PxErrorCode::Enum> { PxErrorCode::eINVALID_OPERATION });

    errors.codes.clear();
    EXPECT_FALSE(scene->simulate(0.0f));
    EXPECT_TRUE(scene->simulate(kFrame));
    EXPECT_FALSE(scene->simulate(kFrame)) << "results of the last step not fetched yet";
    EXPECT_TRUE(scene->fetchResults(true));
    EXPECT_EQ(errors.codes,
        (std::vector<PxErrorCode::Enum> { PxErrorCode::eINVALID_PARAMETER, PxErrorCode::eINVALID_OPERATION }));

    errors.codes.clear();
    EXPECT_EQ(PxCreatePhysics(0x05030000, *foundation, PxTolerancesScale()), nullptr);
    EXPECT_EQ(errors.codes, std::vector<PxErrorCode::Enum> { PxErrorCode::eINVALID_PARAMETER });
    foundation->release();
    EXPECT_TRUE(errors.Saw(PxErrorCode::eINVALID_OPERATION)) << "the foundation outlives the physics object";
}

TEST(PhysXFoundation, OnlyOneFoundationAtATimeAndOnlyForThisVersion)
{
    PxDefaultAllocator allocator;
    RecordingErrorCallback errors;
    EXPECT_EQ(PxCreateFoundation(0x04010000, allocator, errors), nullptr);
    PxFoundation* first = PxCreateFoundation(PX_PHYSICS_VERSION, allocator, errors);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(PxCreateFoundation(PX_PHYSICS_VERSION, allocator, errors), nullptr);
    EXPECT_EQ(PxGetAllocatorCallback(), &allocator);
    first->release();
    EXPECT_EQ(errors.codes,
        (std::vector<PxErrorCode::Enum> { PxErrorCode::eINVALID_PARAMETER, PxErrorCode::eINVALID_OPERATION }));
}

TEST(PhysXPvd, TransportConnectsOnlyWhenSomethingListens)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t length = sizeof(address);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int port = ntohs(address.sin_port);

    PxDefaultAllocator allocator;
    RecordingErrorCallback errors;
    PxFoundation* foundation = PxCreateFoundation(PX_PHYSICS_VERSION, allocator, errors);
    PxPvd* pvd = PxCreatePvd(*foundation);
    PxPvdTransport* listening = PxDefaultPvdSocketTransportCreate("127.0.0.1", port, 10);
    EXPECT_TRUE(pvd->connect(*listening, PxPvdInstrumentationFlag::eALL));
    EXPECT_TRUE(pvd->isConnected());
    EXPECT_EQ(pvd->getInstrumentationFlags(), PxPvdInstrumentationFlags(static_cast<PxU8>(7)));
    pvd->disconnect();
    ::close(listener);

    PxPvdTransport* nobody = PxDefaultPvdSocketTransportCreate("127.0.0.1", port, 10);
    EXPECT_FALSE(pvd->connect(*nobody, PxPvdInstrumentationFlag::eALL));
    EXPECT_FALSE(pvd->isConnected());
    EXPECT_TRUE(errors.codes.empty()) << "a missing debugger is not an error";
    pvd->release();
    listening->release();
    nobody->release();
    foundation->release();
}

TEST_F(PhysXObjects, ExtensionObjectsExistAndStayOutOfTheWay)
{
    CreateScene();
    EXPECT_EQ(dispatcher->getWorkerCount(), 4u);
    PxControllerManager* controllers = PxCreateControllerManager(*scene, false);
    ASSERT_NE(controllers, nullptr);
    EXPECT_EQ(&controllers->getScene(), scene);
    EXPECT_EQ(controllers->getNbControllers(), 0u);
    controllers->release();
    EXPECT_EQ(PxSceneDesc(physics->getTolerancesScale()).flags, PxSceneFlags(PxSceneFlag::eENABLE_PCM));
    EXPECT_EQ(static_cast<PxU32>(PxSceneFlag::eENABLE_PCM), 0x40u);
    EXPECT_EQ(static_cast<PxU32>(PxPairFlag::eSOLVE_CONTACT | PxPairFlag::eMODIFY_CONTACTS
                  | PxPairFlag::eNOTIFY_TOUCH_FOUND | PxPairFlag::eNOTIFY_TOUCH_LOST
                  | PxPairFlag::eNOTIFY_CONTACT_POINTS | PxPairFlag::eDETECT_DISCRETE_CONTACT),
        0x617u);
    EXPECT_EQ(PX_PHYSICS_VERSION, 0x05040200);
}

} // namespace
} // namespace tarnwick::test
