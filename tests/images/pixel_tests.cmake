# Tests of the pixel code; they build under Wine and natively (tests/native).
# Paths are relative to tests/images/.
set(TF_IMAGES_PIXEL_TESTS
    tilecodec_test.cpp
    tilecodec_fuzz_test.cpp
    tilecodec_stream_test.cpp
    pixel_identity_test.cpp
    rasterops_test.cpp
    pictureprocessing_test.cpp
    sharpenexact_test.cpp
    displaylut_test.cpp
    displayrenderer_test.cpp
    imagescaler_test.cpp
    fastkernels_test.cpp
    pixhelpers_test.cpp
)
