# The pixel code: no Windows header beyond the shims of allocation (pixmem.cpp)
# and of the helper threads (pixhelpers.cpp), so that it also
# builds natively (tests/native) under the address and undefined-behaviour
# sanitizers. Paths are relative to images/pixels/.
set(TF_IMAGES_PIXEL_SOURCES
    pixmem.cpp
    pixhelpers.cpp
    tilecodec.cpp
    rasterkernels.cpp
    renderkernels.cpp
    picturebase.cpp
    displaylut.cpp
    displayrenderer.cpp
    imagescaler.cpp
)
