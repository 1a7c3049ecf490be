#pragma once

// Tells whether this process is the only running instance of the client.
class InstanceGuard {
public:
    virtual ~InstanceGuard() = default;
    // True when no other instance runs; this process then counts as the running one.
    virtual bool acquire() = 0;
    // Asks the instance that runs to bring its chat forward; quietly nothing when none answers.
    virtual void activateRunning() = 0;
};
