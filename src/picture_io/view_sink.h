#pragma once

#include "core/result.h"
#include "core/screen.h"
#include "core/view_builder.h"
#include "core/view_geometry.h"
#include "picture_io/byte_source.h"
#include "picture_io/row_sink.h"

#include <optional>

// Builds the source view of a picture as its decoder streams it, in bounded
// memory: one source row (the decoder's) plus the view's sums.
class ViewSink final : public RowSink
{
public:
    // Whether a JPEG may be decoded at a reduced size when it is scaled down
    // (see decodingReduction). Reduced decoding is much faster and may differ
    // from a full decode by a few levels where the picture has fine detail.
    enum class Reduction { Allowed, Off };

    explicit ViewSink(const ViewOptions& options, Reduction reduction = Reduction::Allowed);

    int reductionFor(PictureSize stored) const override;
    void start(PictureSize delivered) override;
    std::int64_t rowsWanted() const override;
    std::int64_t columnsWanted() const override;
    void pixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                std::span<const Rgba> pixels) override;

    // All white until start; afterwards what has arrived, pixels still to
    // come counting as white.
    SourceView view() const;

    // How the picture as delivered maps onto the view, once started.
    std::optional<ViewGeometry> geometry() const;

private:
    ViewOptions m_options;
    Reduction m_reduction;
    // The stored size, when a decoder asked about reducing it.
    mutable std::optional<PictureSize> m_stored;
    std::optional<SourceViewBuilder> m_builder;
};

// The source view of the picture in `source` (see view_geometry.h), with the
// failures of readPicture. With the default options it holds the same colour
// numbers as the top-left 128 × 64 corner drawn on white.
Result<SourceView> readSourceView(ByteSource& source, const ViewOptions& options);
