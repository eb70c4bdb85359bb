// Who draws on a display server: without a GPU's render node the processor, EGL unasked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

#include "host/drawing_choice.h"

namespace {

DrawingPath AnswerOpenGl(const void*)
{
    return DrawingPath::OpenGl;
}

// A /dev/dri of its own.
struct DriFolder {
    std::string path;
    DriFolder()
    {
        char name[] = "/tmp/tavrel-dri.XXXXXX";
        path = mkdtemp(name);
    }
    ~DriFolder()
    {
        for (const char* node : {"/card0", "/renderD128"}) unlink((path + node).c_str());
        rmdir(path.c_str());
    }
    void Add(const char* node) const
    {
        close(open((path + node).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    }
    DrawingPath Choose(RendererChoice choice) const
    {
        return ChooseDrawingPath(choice, path.c_str(), AnswerOpenGl, nullptr);
    }
};

TEST(DrawingChoice, AutoAsksTheProbeOnlyWithARenderNode)
{
    const DriFolder dri;
    dri.Add("/card0");  // a display controller alone renders nothing
    EXPECT_EQ(dri.Choose(RendererChoice::Auto), DrawingPath::Cpu);
    EXPECT_EQ(dri.Choose(RendererChoice::OpenGl), DrawingPath::OpenGl);
    dri.Add("/renderD128");
    EXPECT_EQ(dri.Choose(RendererChoice::Auto), DrawingPath::OpenGl);
    EXPECT_EQ(dri.Choose(RendererChoice::Cpu), DrawingPath::Cpu);
}

}  // namespace
