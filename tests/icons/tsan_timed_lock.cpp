// For the ThreadSanitizer build only. The icon lock is a std::timed_mutex, whose timed waits
// call pthread_mutex_clocklock; the sanitizer's runtime on this system does not intercept that
// call, so it never sees those locks taken and reports every unlock as one of an unlocked
// mutex. This test binary routes the call to pthread_mutex_timedlock, which the runtime does
// intercept, with the deadline moved to the real-time clock.
#if defined(__SANITIZE_THREAD__)
#define TRASSLO_TSAN_BUILD 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TRASSLO_TSAN_BUILD 1
#endif
#endif

#ifdef TRASSLO_TSAN_BUILD
#include <pthread.h>
#include <time.h>

extern "C" int pthread_mutex_clocklock(pthread_mutex_t* mutex, clockid_t clock,
                                       const struct timespec* deadline) noexcept {
    if (clock == CLOCK_REALTIME) return pthread_mutex_timedlock(mutex, deadline);
    constexpr long long kBillion = 1000000000LL;
    timespec on_clock{}, real{};
    clock_gettime(clock, &on_clock);
    clock_gettime(CLOCK_REALTIME, &real);
    long long left =
        (deadline->tv_sec - on_clock.tv_sec) * kBillion + (deadline->tv_nsec - on_clock.tv_nsec);
    if (left < 0) left = 0;
    const long long at_ns = real.tv_sec * kBillion + real.tv_nsec + left;
    const timespec at{static_cast<time_t>(at_ns / kBillion), static_cast<long>(at_ns % kBillion)};
    return pthread_mutex_timedlock(mutex, &at);
}
#endif
