namespace sonavix::speech {}
