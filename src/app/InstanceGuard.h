#pragma once

// Tells whether this process is the only running instance of the client.
class InstanceGuard {
public:
    virtual ~InstanceGuard() = default;
    // True when no other instance runs; this process then counts as the running one.
    virtual bool acquire() = 0;
};
