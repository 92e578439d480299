/* A sound device for the tests, loaded by ALSA from a test's .asoundrc:

     pcm_type.lwstub { lib "/path/libasound_module_pcm_lwstub.so" }
     pcm.held { type lwstub frames 10000 later 4000 more "/path/more" }
                                                   capture: 10000 frames from the start, 4000 more once
                                                   the file "more" exists
     pcm.busy { type lwstub busy "/path/release" }  any stream: held by another program
     pcm.stuck { type lwstub stuck "/path/release" } playback: closing hangs

   "held" captures a ramp (sample k is k modulo 32768, 16-bit mono) and has it ready at once, without a
   clock; the later frames arrive without waking the program (as the part of a period does that is less
   than what a poll waits for), so a program stopping then finds them held by the device.
   "busy" answers a non-blocking open at once with EBUSY, as a card another program holds does, and makes
   a blocking open wait until the release file exists (a minute at most). "stuck" plays instantly, but
   closing it waits until the release file exists (a minute at most), as a hanging driver does. */
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <unistd.h>

typedef struct {
    snd_pcm_ioplug_t io;
    long frames;        /* captured so far (capture) */
    long later;         /* captured once the file `more` exists */
    char more[4096];
    long delivered;     /* handed to the program so far */
    char release[4096]; /* stuck: the file whose existence ends the close */
    int fd;             /* a poll descriptor that never wakes */
} stub_t;

static void wait_for_file(const char *path)
{
    for (int i = 0; i < 6000 && access(path, F_OK) != 0; ++i)
        usleep(10000);
}

static int stub_start(snd_pcm_ioplug_t *io)
{
    (void)io;
    return 0;
}

static int stub_stop(snd_pcm_ioplug_t *io)
{
    (void)io;
    return 0;
}

static snd_pcm_sframes_t stub_pointer(snd_pcm_ioplug_t *io)
{
    stub_t *s = io->private_data;
    if (io->stream == SND_PCM_STREAM_PLAYBACK)
        return (snd_pcm_sframes_t)(io->appl_ptr % io->buffer_size);
    if (s->later > 0 && s->more[0] && access(s->more, F_OK) == 0) {
        s->frames += s->later;
        s->later = 0;
    }
    return (snd_pcm_sframes_t)(s->frames % (long)io->buffer_size);
}

static snd_pcm_sframes_t stub_transfer(snd_pcm_ioplug_t *io, const snd_pcm_channel_area_t *areas,
                                       snd_pcm_uframes_t offset, snd_pcm_uframes_t size)
{
    stub_t *s = io->private_data;
    if (io->stream == SND_PCM_STREAM_PLAYBACK)
        return (snd_pcm_sframes_t)size;
    char *base = (char *)areas[0].addr + (areas[0].first + offset * areas[0].step) / 8;
    for (snd_pcm_uframes_t i = 0; i < size; ++i) {
        const short v = (short)((s->delivered + (long)i) % 32768);
        memcpy(base + i * (areas[0].step / 8), &v, 2);
    }
    s->delivered += (long)size;
    return (snd_pcm_sframes_t)size;
}

static int stub_prepare(snd_pcm_ioplug_t *io)
{
    (void)io;
    return 0;
}

static int stub_close(snd_pcm_ioplug_t *io)
{
    stub_t *s = io->private_data;
    if (s->release[0])
        wait_for_file(s->release);
    close(s->fd);
    free(s);
    return 0;
}

static const snd_pcm_ioplug_callback_t stub_callbacks = {
    .start = stub_start,
    .stop = stub_stop,
    .pointer = stub_pointer,
    .transfer = stub_transfer,
    .prepare = stub_prepare,
    .close = stub_close,
};

SND_PCM_PLUGIN_DEFINE_FUNC(lwstub)
{
    snd_config_iterator_t i, next;
    long frames = 0, later = 0;
    const char *busy = NULL, *stuck = NULL, *more = NULL;
    (void)root;
    snd_config_for_each(i, next, conf)
    {
        snd_config_t *n = snd_config_iterator_entry(i);
        const char *id;
        if (snd_config_get_id(n, &id) < 0)
            continue;
        if (!strcmp(id, "comment") || !strcmp(id, "type") || !strcmp(id, "hint"))
            continue;
        if (!strcmp(id, "frames")) {
            snd_config_get_integer(n, &frames);
            continue;
        }
        if (!strcmp(id, "later")) {
            snd_config_get_integer(n, &later);
            continue;
        }
        if (!strcmp(id, "more")) {
            snd_config_get_string(n, &more);
            continue;
        }
        if (!strcmp(id, "busy")) {
            snd_config_get_string(n, &busy);
            continue;
        }
        if (!strcmp(id, "stuck")) {
            snd_config_get_string(n, &stuck);
            continue;
        }
        return -EINVAL;
    }
    if (busy) {
        if (mode & SND_PCM_NONBLOCK)
            return -EBUSY;
        wait_for_file(busy);
        return -EBUSY;
    }

    stub_t *s = calloc(1, sizeof *s);
    if (!s)
        return -ENOMEM;
    s->frames = frames;
    s->later = later;
    if (more)
        strncpy(s->more, more, sizeof s->more - 1);
    if (stuck)
        strncpy(s->release, stuck, sizeof s->release - 1);
    s->fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    s->io.version = SND_PCM_IOPLUG_VERSION;
    s->io.name = "Logwarden test device";
    s->io.callback = &stub_callbacks;
    s->io.private_data = s;
    s->io.poll_fd = s->fd;
    s->io.poll_events = stream == SND_PCM_STREAM_PLAYBACK ? POLLOUT : POLLIN;
    s->io.mmap_rw = 0;
    int err = snd_pcm_ioplug_create(&s->io, name, stream, mode);
    if (err < 0) {
        close(s->fd);
        free(s);
        return err;
    }
    static const unsigned int access_list[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    static const unsigned int format_list[] = {SND_PCM_FORMAT_S16_LE};
    if ((err = snd_pcm_ioplug_set_param_list(&s->io, SND_PCM_IOPLUG_HW_ACCESS, 1, access_list)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(&s->io, SND_PCM_IOPLUG_HW_FORMAT, 1, format_list)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_RATE, 8000, 192000)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 1 << 20)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64)) < 0) {
        snd_pcm_ioplug_delete(&s->io);
        return err;
    }
    *pcmp = s->io.pcm;
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(lwstub);
