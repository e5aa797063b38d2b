#pragma once
// Carries the corners of one sub-mesh from the code that reads them to the code that enters them,
// a batch at a time, in the order they are read. A small mesh is read and entered in turn; for a
// large one a helper thread enters the batches while the calling thread reads the next, each side
// taking about as long as the other.
//
// Thread rules: the source is called on the calling thread only, so it may talk to the FBX SDK.
// Entering alongside, the sink is called on the helper thread only, and what it enters into is the
// helper's alone from the start of the call to its end; entering in turn, it is called on the calling
// thread. Each function returns, or throws, only once the helper has been joined. An exception from
// the source ends the entering and passes on; one from the sink stops further batches from being
// entered and is rethrown on the calling thread once reading is over. After an exception the sink
// has entered some front part of the corners read.
#include "Assets/CornerBatch.h"

#include <cstddef>
#include <functional>

// Fills the batch it is given, which is empty, with the next corners, whole triangles only. A batch
// it leaves short of full is the last one: the source is not called again.
using CornerSource = std::function<void(CornerBatch&)>;

// Enters the batch's corners, in order. The batch is emptied for the source by the pipeline.
using CornerSink = std::function<void(CornerBatch&)>;

// From this many polygons on, and with a second core to run it, a second thread enters the batches
// while this one reads the next: for a large mesh each side takes about as long as the other.
constexpr int kPipelinedPolygons = 16384;

// Enters alongside from kPipelinedPolygons on when a second core can run the helper, in turn
// otherwise. `meshPolygons` counts every polygon of the mesh: the source reads through them all even
// for a material slot that keeps only some.
void BuildSubMesh(int meshPolygons, const CornerSource& source, const CornerSink& sink);

// Reading and entering take turns on the calling thread.
void BuildInTurn(const CornerSource& source, const CornerSink& sink);

// Batches travel between the threads in blocks of 16 (1,536 corners, 280 KB), so the threads meet
// once per block rather than once per batch; 8 blocks in flight let neither wait on the other's
// hiccups.
constexpr int kBlockBatches = 16;
constexpr std::size_t kQueuedBlocks = 8;

// Reading stays on the calling thread; a helper thread enters the batches as they come.
void BuildAlongside(const CornerSource& source, const CornerSink& sink);
