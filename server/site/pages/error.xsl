<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="layout.xsl"/>
  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="/error/title"/>
    </xsl:call-template>
  </xsl:template>
  <xsl:template match="/" mode="content">
    <p class="notice"><xsl:value-of select="/error/message"/></p>
    <p class="muted">Status <xsl:value-of select="/error/status"/>. <a href="/vantrel/javatab/home.jsp">Back to the Java home page</a>.</p>
  </xsl:template>
</xsl:stylesheet>
