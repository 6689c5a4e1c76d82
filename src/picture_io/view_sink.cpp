#include "picture_io/view_sink.h"

#include "picture_io/picture_reader.h"

#include <cstddef>

// The builder reads each pixel as four bytes in this order.
static_assert(sizeof(Rgba) == 4 && offsetof(Rgba, red) == 0 && offsetof(Rgba, green) == 1 &&
              offsetof(Rgba, blue) == 2 && offsetof(Rgba, alpha) == 3);
// Every picture that is read at all can be averaged.
static_assert(maxPicturePixels <= maxAveragedPixels);

ViewSink::ViewSink(const ViewOptions& options, Reduction reduction)
    : m_options(options), m_reduction(reduction)
{}

int ViewSink::reductionFor(PictureSize stored) const
{
    m_stored = stored;
    if (m_reduction == Reduction::Off)
        return 1;
    return decodingReduction(m_options, stored.width, stored.height);
}

void ViewSink::start(PictureSize delivered)
{
    ViewGeometry geometry = viewGeometry(m_options, delivered.width, delivered.height);
    if (m_stored && *m_stored != delivered) {
        const ViewGeometry full = viewGeometry(m_options, m_stored->width, m_stored->height);
        geometry = reducedGeometry(full, m_options, delivered.width, delivered.height);
    }
    m_builder.emplace(geometry);
}

std::int64_t ViewSink::rowsWanted() const
{
    return m_builder ? m_builder->rowsWanted() : 0;
}

std::int64_t ViewSink::columnsWanted() const
{
    return m_builder ? m_builder->columnsWanted() : 0;
}

void ViewSink::pixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                      std::span<const Rgba> pixels)
{
    if (m_builder)
        m_builder->addPixels(y, x0, step,
                             std::span(reinterpret_cast<const std::uint8_t*>(pixels.data()),
                                       pixels.size() * sizeof(Rgba)));
}

SourceView ViewSink::view() const
{
    if (m_builder)
        return m_builder->view();
    SourceView white;
    white.fill(colours::white);
    return white;
}

std::optional<ViewGeometry> ViewSink::geometry() const
{
    if (m_builder)
        return m_builder->geometry();
    return std::nullopt;
}

Result<SourceView> readSourceView(ByteSource& source, const ViewOptions& options)
{
    ViewSink sink(options);
    if (const Result<void> read = readPicture(source, sink); !read)
        return fail(read.error());
    return sink.view();
}
