// View > Guiding Graph: the modeless graph of the guiding run under way (or the last one), fed by the
// guider's recorder.
#include <QPointer>

#include "app/CommandRegistry.h"
#include "app/FindChild.h"
#include "app/TGuideGraph.h"
#include "app/TNyxelWindow.h"

namespace nyxel {
namespace {

void GuidingGraph(TNyxelWindow& w) {
  auto* graph = FindChildOf<TGuideGraph>(w, Qt::FindDirectChildrenOnly);
  if (graph == nullptr) {
    graph = new TGuideGraph(w.observatory().guider.recorder.history, &w);
    GuideRecorder& recorder = w.observatory().guider.recorder;
    QPointer<TGuideGraph> alive(graph);
    recorder.changed = [alive] {
      if (alive) alive->SamplesChanged();
    };
  }
  graph->show();
  graph->raise();
}

// The graph only looks: it may open while guiding runs.
const RegisterCommand kGraph{kGuidingGraphCommand, {GuidingGraph}};

}  // namespace
}  // namespace nyxel
