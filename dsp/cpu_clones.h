// Marks a function to be built twice, for CPUs with AVX2 and fused
// multiply-adds and for the rest, the version chosen when the module loads.
// ThreadSanitizer cannot run that choice (it happens before the sanitizer has
// started), so its builds keep the plain version only.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define ORV_CPU_CLONES
#else
#define ORV_CPU_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#endif
