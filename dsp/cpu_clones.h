// Kernels built twice, for AVX2 with FMA (x86-64-v3) and for the baseline,
// with the loader picking one at run time. That choice needs ifunc, which
// only ELF on glibc has; elsewhere (Windows DLLs) the baseline build runs.
// ThreadSanitizer cannot run that choice either (it happens before the
// sanitizer has started), so its builds keep the baseline only.
#pragma once

#if defined(__x86_64__) && defined(__ELF__) && defined(__gnu_linux__) && !defined(__SANITIZE_THREAD__)
#define ORV_CPU_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define ORV_CPU_CLONES
#endif
