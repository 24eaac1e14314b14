# The readers of imported files: pure code over a ByteSource, no Windows
# header, so that they also build natively (tests/native) under the address
# and undefined-behaviour sanitizers. Paths are relative to exchange/imagefiles/.
set(TF_EXCHANGE_PURE_SOURCES
    bmpformat.cpp
    xmgtext.cpp
)
