#pragma once

// The base of both trackers: everything a tracker needs of OpenNI2. Each
// tracker initialises OpenNI2 for itself, uses one device (its own, opened
// on the default device, or one the application lends it), one depth stream
// of at least 320x240, the adapter's depth node through which every
// algorithm sees the stream's frames with the tracker's depth metadata, the
// new-frame listener that tells the application a frame is ready, and the
// lock of the derived tracker's table of output-frame references. The base
// sets these up in a fixed order, hands over to the derived tracker's own
// initialisation, and takes them down in the reverse order.

#include <OpenNI.h>

#include "Api/ReadyForNextFrameNotifier.h"
#include "OSLayer/XnCriticalSection.h"
#include "Vela.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"

class TrackerBase {
public:
    // The narrowest depth stream a tracker runs on.
    static constexpr int kMinWidth = 320;
    static constexpr int kMinHeight = 240;

    // Initialises OpenNI2 for this object; a failure is logged and makes
    // every initialisation fail.
    TrackerBase();
    // Derived trackers run shutdown() first, while they still exist.
    virtual ~TrackerBase();
    TrackerBase(const TrackerBase&) = delete;
    TrackerBase& operator=(const TrackerBase&) = delete;

    // Sets the tracker up on the application's open device, which stays the
    // application's; returns VELA_STATUS_OK or, after logging the reason,
    // VELA_STATUS_ERROR. Whatever was set up before a failure is taken down
    // by shutdown() or the destructor.
    int initialize(openni::Device* device);
    // The same on the first device OpenNI2 finds, which the tracker then
    // opens, owns and closes.
    int initialize();
    // Runs the derived shutdownTracker(), then releases the node's frame,
    // stops and destroys the stream and closes a device the tracker owns.
    void shutdown();

    // The derived tracker's own set-up, run last; VELA_STATUS_OK or
    // VELA_STATUS_ERROR after logging why.
    virtual int initializeTracker() = 0;
    // Removes the derived tracker's event registrations and deletes its
    // algorithm objects.
    virtual void shutdownTracker() = 0;
    // Called on OpenNI2's stream thread for each new depth frame: calls the
    // application's registered ready-for-next-frame callback, if any.
    virtual void raiseReadyForNextFrame();

    // The depth stream: coordinate conversions run on it.
    const openni::VideoStream& GetDepthStream() const { return m_depthStream; }

protected:
    // Registers the first entry of the application's callback record (null
    // for none) with its cookie, replacing an earlier one.
    void registerReadyForNextFrame(const VelaReadyForNextFrameCallback* pCallback, void* cookie);
    // After it returns the callback is not called again.
    void unregisterReadyForNextFrame();

    class StreamListener : public openni::VideoStream::NewFrameListener {
    public:
        explicit StreamListener(TrackerBase& owner) : m_pOwner(&owner) {}
        void onNewFrame(openni::VideoStream&) override;

    private:
        TrackerBase* m_pOwner;
    };

    StreamListener m_streamListener;
    // Null before initialisation and after shutdown.
    openni::Device* m_device;
    bool m_ownsDevice;
    openni::VideoStream m_depthStream;
    // Reads m_depthStream; holds the current frame and the device families.
    xn::DepthGenerator m_depthGenerator;
    xn::DepthMetaData m_depthMetaData;
    // True once the OpenNI2 objects have been taken down, until an
    // initialisation completes.
    bool m_shutDown;
    bool m_openNIInitialized;
    // Guards the derived tracker's output-frame reference counts.
    xnl::CriticalSection m_frameRefLock;

private:
    // The steps after the device is known.
    int initializeOnDevice(openni::Device* device, bool ownsDevice);
    // Stream, node frame and owned device, without the derived part.
    void releaseOpenNIObjects();

    // Whether m_streamListener is registered on m_depthStream.
    bool m_listening;
    ReadyForNextFrameNotifier m_readyForNextFrame;
};
