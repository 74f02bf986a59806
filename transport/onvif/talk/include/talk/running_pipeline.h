// A GStreamer pipeline and the one element of it its owner talks to, held
// together. Letting go brings the pipeline to NULL, which joins its
// streaming threads, then drops both references.
#pragma once

#include <utility>

typedef struct _GstElement GstElement;

namespace talk {

class RunningPipeline {
public:
    RunningPipeline() = default;
    // Takes a reference to each.
    RunningPipeline(GstElement* pipeline, GstElement* element) : pipeline_(pipeline), element_(element) {}
    ~RunningPipeline() { reset(); }
    RunningPipeline(RunningPipeline&& other) noexcept { *this = std::move(other); }
    RunningPipeline& operator=(RunningPipeline&& other) noexcept {
        if (this != &other) {
            reset();
            pipeline_ = std::exchange(other.pipeline_, nullptr);
            element_ = std::exchange(other.element_, nullptr);
        }
        return *this;
    }
    RunningPipeline(const RunningPipeline&) = delete;
    RunningPipeline& operator=(const RunningPipeline&) = delete;

    void reset();
    GstElement* pipeline() const { return pipeline_; }
    GstElement* element() const { return element_; }
    explicit operator bool() const { return pipeline_ != nullptr; }

private:
    GstElement* pipeline_ = nullptr;
    GstElement* element_ = nullptr;
};

} // namespace talk
