// Contact reports: queued during a step (and by removals), delivered inside fetchResults.
//
// A queued report holds a reference to both shapes and a hold on both actors, so that an actor
// released before delivery stays readable (user data included) until its report has been handed out.

#include <algorithm>
#include <cstring>

#include "Source/SceneImpl.h"

namespace physx::standin {
namespace {

// Words of the contact stream per contact: the PxContact, two face indices, the patch, the impulse.
constexpr size_t kContactWords = sizeof(PxContact) / 4;
constexpr size_t kPatchWords = sizeof(PxContactPatch) / 4;
constexpr size_t kWordsPerContact = kContactWords + 2 + kPatchWords + 1;
static_assert(sizeof(PxContact) % 4 == 0 && sizeof(PxContactPatch) % 4 == 0);
// PxContactPair counts contacts in a byte.
constexpr size_t kMaxReportedContacts = 255;

// A pair without points still points at readable (zero) data: callers read the first point before
// looking at the events.
const PxU32 kNoContactData[kWordsPerContact] = {};

bool ReportOrder(const ReportPair& a, const ReportPair& b)
{
    if (a.key.actor0 != b.key.actor0)
        return a.key.actor0 < b.key.actor0;
    if (a.key.actor1 != b.key.actor1)
        return a.key.actor1 < b.key.actor1;
    if (a.key.shape0 != b.key.shape0)
        return a.key.shape0 < b.key.shape0;
    return a.key.shape1 < b.key.shape1;
}

PxContactPair BuildPair(const ReportPair& report, PxU32* words)
{
    PxContactPair pair {};
    pair.shapes[0] = report.shapes[0];
    pair.shapes[1] = report.shapes[1];
    pair.flags = report.flags;
    pair.events = report.events;
    const size_t n = std::min(report.contacts.size(), kMaxReportedContacts);
    if (n == 0) {
        const auto* none = reinterpret_cast<const PxU8*>(kNoContactData);
        pair.contactPoints = none;
        pair.contactPatches = none;
        pair.contactImpulses = reinterpret_cast<const PxReal*>(kNoContactData);
        return pair;
    }
    auto* contacts = reinterpret_cast<PxContact*>(words);
    PxU32* faces = words + n * kContactWords;
    auto* patches = reinterpret_cast<PxContactPatch*>(faces + 2 * n);
    auto* impulses = reinterpret_cast<PxReal*>(words + n * (kContactWords + 2 + kPatchWords));
    for (size_t i = 0; i < n; ++i) {
        const ContactSample& s = report.contacts[i];
        contacts[i] = PxContact { s.position, s.separation };
        faces[2 * i] = s.face0;
        faces[2 * i + 1] = s.face1;
        patches[i] = PxContactPatch { s.normal, 0.0f, 0.0f, 0.0f, static_cast<PxU16>(i), 1, 0 };
        impulses[i] = s.impulse;
    }
    pair.contactPoints = reinterpret_cast<const PxU8*>(contacts);
    pair.contactPatches = reinterpret_cast<const PxU8*>(patches);
    pair.contactImpulses = impulses;
    pair.contactCount = static_cast<PxU8>(n);
    pair.patchCount = static_cast<PxU8>(n);
    pair.contactStreamSize = static_cast<PxU16>(n * sizeof(PxContact));
    pair.requiredBufferSize = static_cast<PxU32>(n * kWordsPerContact * 4);
    pair.flags |= PxContactPairFlag::eINTERNAL_HAS_IMPULSES;
    return pair;
}

} // namespace

void SceneImpl::QueueReport(const PairRecord& record, PxPairFlags events, PxContactPairFlags flags,
    PxContactPairHeaderFlags headerFlags, bool withContacts)
{
    ReportPair report;
    report.key = record.key;
    for (int k = 0; k < 2; ++k) {
        report.actors[k] = record.actors[k];
        report.shapes[k] = record.shapes[k];
        ++record.actors[k]->reportHolds;
        record.shapes[k]->acquireReference();
    }
    report.events = events;
    report.flags = flags;
    report.headerFlags = headerFlags;
    if (withContacts)
        report.contacts = record.contacts;
    mReports.push_back(std::move(report));
}

void SceneImpl::DropReports(std::vector<ReportPair>& reports)
{
    for (ReportPair& report : reports) {
        for (int k = 0; k < 2; ++k) {
            report.shapes[k]->ReleaseReference();
            report.actors[k]->DropReportHold();
        }
    }
    reports.clear();
}

void SceneImpl::DeliverReports()
{
    // Reports queued by the callbacks themselves (a removal, say) wait for the next fetchResults.
    std::vector<ReportPair> reports;
    reports.swap(mReports);
    if (reports.empty())
        return;
    std::stable_sort(reports.begin(), reports.end(), ReportOrder);
    if (mEventCallback != nullptr) {
        size_t words = 0;
        for (const ReportPair& r : reports)
            words += std::min(r.contacts.size(), kMaxReportedContacts) * kWordsPerContact;
        std::vector<PxU32> stream(words);
        std::vector<PxContactPair> pairs(reports.size());
        size_t offset = 0;
        for (size_t i = 0; i < reports.size(); ++i) {
            pairs[i] = BuildPair(reports[i], stream.data() + offset);
            offset += std::min(reports[i].contacts.size(), kMaxReportedContacts) * kWordsPerContact;
        }
        for (size_t first = 0; first < reports.size();) {
            size_t last = first + 1;
            while (last < reports.size() && reports[last].actors[0] == reports[first].actors[0]
                && reports[last].actors[1] == reports[first].actors[1])
                ++last;
            PxContactPairHeader header {};
            header.actors[0] = &reports[first].actors[0]->self;
            header.actors[1] = &reports[first].actors[1]->self;
            for (size_t i = first; i < last; ++i)
                header.flags |= reports[i].headerFlags;
            header.pairs = &pairs[first];
            header.nbPairs = static_cast<PxU32>(last - first);
            mEventCallback->onContact(header, header.pairs, header.nbPairs);
            first = last;
        }
    }
    DropReports(reports);
}

} // namespace physx::standin

namespace physx {

PxU32 PxContactPair::extractContacts(PxContactPairPoint* userBuffer, PxU32 bufferSize) const
{
    const PxU32 n = contactCount < bufferSize ? contactCount : bufferSize;
    const auto* contacts = reinterpret_cast<const PxContact*>(contactPoints);
    const auto* faces = reinterpret_cast<const PxU32*>(contactPoints + contactCount * sizeof(PxContact));
    const auto* patches = reinterpret_cast<const PxContactPatch*>(contactPatches);
    for (PxU32 i = 0; i < n; ++i) {
        PxContactPairPoint& out = userBuffer[i];
        out.position = contacts[i].contact;
        out.separation = contacts[i].separation;
        out.normal = patches[i].normal;
        out.impulse = patches[i].normal * contactImpulses[i];
        out.internalFaceIndex0 = faces[2 * i];
        out.internalFaceIndex1 = faces[2 * i + 1];
    }
    return n;
}

} // namespace physx
