<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="layout.xsl"/>
  <xsl:variable name="sent" select="/reportsent"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="concat('Thank you: number ', $sent/@number)"/>
      <xsl:with-param name="section" select="'Support'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <p>Your <xsl:choose><xsl:when test="$sent/@kind = 'bug'">problem report</xsl:when>
      <xsl:otherwise>feature request</xsl:otherwise></xsl:choose> "<xsl:value-of select="$sent/summary"/>"
      is stored as number <b><xsl:value-of select="$sent/@number"/></b>.</p>
    <xsl:choose>
      <xsl:when test="string($sent/email)">
        <p>We answer at <xsl:value-of select="$sent/email"/>. Your reports are listed on
          <a href="/vantrel/ui/help/list.jsp?email={$sent/email}">your help page</a>.</p>
      </xsl:when>
      <xsl:otherwise><p class="muted">You gave no e-mail address, so we cannot answer you directly.</p></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
