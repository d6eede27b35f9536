# Microsoft's WebView2 Evergreen bootstrapper of the build this program is made for: a release
# build carries exactly this file, and the window shows its size as the runtime's download size.
set(VELKO_WEBVIEW2_PINNED_BYTES 1691856)
set(VELKO_WEBVIEW2_PINNED_SHA256 "0223FA1E8D5BD5E4344FB8734E60D088E79F262C0A24444D01F240BC996F04E5")
