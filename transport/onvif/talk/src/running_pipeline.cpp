#include "talk/running_pipeline.h"

#include <gst/gst.h>

namespace talk {

void RunningPipeline::reset() {
    if (pipeline_ != nullptr) gst_element_set_state(pipeline_, GST_STATE_NULL);
    if (element_ != nullptr) gst_object_unref(element_);
    if (pipeline_ != nullptr) gst_object_unref(pipeline_);
    pipeline_ = nullptr;
    element_ = nullptr;
}

} // namespace talk
