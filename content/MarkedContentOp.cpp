#include "content/MarkedContentOp.h"

#include "content/ContentHandler.h"

namespace content {

void MarkedContentOp::Play(ContentHandler& handler, uint32_t) {
  handler.BeginMarkedContent(hasMcid, mcid,
                             hasStructParents ? structParents : handler.Page().structParents,
                             element);
}

}  // namespace content
