#include "Host/RenderContext.h"

#include <new>

RenderContext* CreateRenderContext() {
  // Value-initialisation zeroes every plain field and runs the lens model's constructor.
  return new (std::nothrow) RenderContext();
}

void DisposeRenderContext(void* context) { delete static_cast<RenderContext*>(context); }
