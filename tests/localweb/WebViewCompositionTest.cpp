#include <gtest/gtest.h>

#include "localweb/WebViewComposition.h"

using folvan::localweb::isSoftwareRenderer;

// Software composing is chosen only for a rasterizer in software: a real
// driver built with LLVM, or one named after its maker, keeps OpenGL.
TEST(WebViewComposition, TellsSoftwareRasterizersFromGraphicsDrivers)
{
    for (const char *software : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Software Rasterizer",
                                 "Mesa OffScreen swrast", "Apple Software Renderer", "GDI Generic"})
        EXPECT_TRUE(isSoftwareRenderer(QString::fromLatin1(software))) << software;
    for (const char *hardware : {"", "Mesa Intel(R) UHD Graphics 620 (KBL GT2)",
                                 "AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)",
                                 "NVIDIA GeForce RTX 3060/PCIe/SSE2", "Apple M1", "virgl (Intel Iris Xe)"})
        EXPECT_FALSE(isSoftwareRenderer(QString::fromLatin1(hardware))) << hardware;
}
